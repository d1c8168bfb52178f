#pragma once
#include <QLoggingCategory>

// Logging category of the live video subsystem. Stream addresses are logged
// without their credentials.
Q_DECLARE_LOGGING_CATEGORY(lcVideo)
