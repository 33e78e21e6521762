#pragma once

#include <QLoggingCategory>

// Diagnostics of the file operations; off unless QT_LOGGING_RULES enables
// "velmora.ops.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcOps)
