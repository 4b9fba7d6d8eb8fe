#include "slideshowlog.h"

Q_LOGGING_CATEGORY(lcSlideshow, "vellaro.slideshow", QtInfoMsg)
