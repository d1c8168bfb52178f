#include "protocol/video/VideoLogging.h"

Q_LOGGING_CATEGORY(lcVideo, "qzr.video", QtInfoMsg)
