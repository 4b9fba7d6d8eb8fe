#include "outputlog.h"

Q_LOGGING_CATEGORY(lcOutput, "vellaro.output", QtInfoMsg)
