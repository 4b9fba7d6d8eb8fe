#include "viewerlog.h"

Q_LOGGING_CATEGORY(lcViewer, "vellaro.viewer", QtInfoMsg)
