#pragma once

#include <QLoggingCategory>

// Diagnostics of the slideshow layer ("vellaro.slideshow"); switch on with QT_LOGGING_RULES="vellaro.slideshow.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcSlideshow)
