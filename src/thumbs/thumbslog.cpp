#include "thumbslog.h"

Q_LOGGING_CATEGORY(lcThumbs, "vellaro.thumbs", QtInfoMsg)
