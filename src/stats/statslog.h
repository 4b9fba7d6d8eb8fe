#pragma once

#include <QLoggingCategory>

// Diagnostics of the stats layer ("vellaro.stats"); switch on with QT_LOGGING_RULES="vellaro.stats.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcStats)
