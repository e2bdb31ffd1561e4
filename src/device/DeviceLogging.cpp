#include "device/DeviceLogging.h"

Q_LOGGING_CATEGORY(lcDevice, "titledeck.device", QtWarningMsg)
