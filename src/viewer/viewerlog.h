#pragma once

#include <QLoggingCategory>

// Diagnostics of the viewer layer ("vellaro.viewer"); switch on with QT_LOGGING_RULES="vellaro.viewer.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcViewer)
