#include "cataloguelog.h"

Q_LOGGING_CATEGORY(lcCatalogue, "vellaro.catalogue", QtInfoMsg)
