#pragma once
#include <QLoggingCategory>

// One logging category per subsystem. Request lines may be logged at debug
// level; credentials never are.
Q_DECLARE_LOGGING_CATEGORY(lcProtocol)
Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcEncoder)
Q_DECLARE_LOGGING_CATEGORY(lcImage)
Q_DECLARE_LOGGING_CATEGORY(lcSettingsFile)
Q_DECLARE_LOGGING_CATEGORY(lcNetwork)
Q_DECLARE_LOGGING_CATEGORY(lcLens)
Q_DECLARE_LOGGING_CATEGORY(lcCli)
