#include "protocol/Logging.h"

Q_LOGGING_CATEGORY(lcProtocol, "qzr.protocol")
Q_LOGGING_CATEGORY(lcApp, "qzr.app")
Q_LOGGING_CATEGORY(lcEncoder, "qzr.encoder")
Q_LOGGING_CATEGORY(lcImage, "qzr.image")
Q_LOGGING_CATEGORY(lcSettingsFile, "qzr.settingsfile")
Q_LOGGING_CATEGORY(lcNetwork, "qzr.network")
Q_LOGGING_CATEGORY(lcLens, "qzr.lens")
Q_LOGGING_CATEGORY(lcCli, "qzr.cli")
