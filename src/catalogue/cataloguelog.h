#pragma once

#include <QLoggingCategory>

// Diagnostics of the catalogue layer ("vellaro.catalogue"); switch on with QT_LOGGING_RULES="vellaro.catalogue.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcCatalogue)
