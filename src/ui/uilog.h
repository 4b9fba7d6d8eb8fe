#pragma once

#include <QLoggingCategory>

// Diagnostics of the ui layer ("vellaro.ui"); switch on with QT_LOGGING_RULES="vellaro.ui.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcUi)
