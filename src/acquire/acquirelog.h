#pragma once

#include <QLoggingCategory>

// Diagnostics of the acquire layer ("vellaro.acquire"); switch on with QT_LOGGING_RULES="vellaro.acquire.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcAcquire)
