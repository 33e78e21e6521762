#include "LogCategories.h"

Q_LOGGING_CATEGORY(lcCore, "velmora.core", QtInfoMsg)
