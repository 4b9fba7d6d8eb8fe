#include "applog.h"

Q_LOGGING_CATEGORY(lcApp, "vellaro.app", QtInfoMsg)
