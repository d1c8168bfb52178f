#include "protocol/Logging.h"

Q_LOGGING_CATEGORY(lcProtocol, "qzr.protocol", QtInfoMsg)
Q_LOGGING_CATEGORY(lcApp, "qzr.app", QtInfoMsg)
Q_LOGGING_CATEGORY(lcEncoder, "qzr.encoder", QtInfoMsg)
Q_LOGGING_CATEGORY(lcImage, "qzr.image", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSettingsFile, "qzr.settingsfile", QtInfoMsg)
Q_LOGGING_CATEGORY(lcNetwork, "qzr.network", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLens, "qzr.lens", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCli, "qzr.cli", QtInfoMsg)
