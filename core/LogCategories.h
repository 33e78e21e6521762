#pragma once

#include <QLoggingCategory>

// Diagnostics of the file layer; off unless QT_LOGGING_RULES enables
// "velmora.core.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcCore)
