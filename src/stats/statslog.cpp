#include "statslog.h"

Q_LOGGING_CATEGORY(lcStats, "vellaro.stats", QtInfoMsg)
