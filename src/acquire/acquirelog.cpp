#include "acquirelog.h"

Q_LOGGING_CATEGORY(lcAcquire, "vellaro.acquire", QtInfoMsg)
