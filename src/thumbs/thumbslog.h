#pragma once

#include <QLoggingCategory>

// Diagnostics of the thumbs layer ("vellaro.thumbs"); switch on with QT_LOGGING_RULES="vellaro.thumbs.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcThumbs)
