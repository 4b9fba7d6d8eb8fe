#include "uilog.h"

Q_LOGGING_CATEGORY(lcUi, "vellaro.ui", QtInfoMsg)
