#pragma once

#include <QLoggingCategory>

// Diagnostics of the output layer ("vellaro.output"); switch on with QT_LOGGING_RULES="vellaro.output.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcOutput)
