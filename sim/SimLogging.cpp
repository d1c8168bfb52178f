#include "SimLogging.h"

Q_LOGGING_CATEGORY(lcSim, "qzr.sim")
