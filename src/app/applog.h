#pragma once

#include <QLoggingCategory>

// Diagnostics of the app layer ("vellaro.app"); switch on with QT_LOGGING_RULES="vellaro.app.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcApp)
