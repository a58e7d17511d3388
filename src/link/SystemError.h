#pragma once

#include <QString>

// The one place where an errno value becomes a sentence for the user, e.g.
// "Cannot open /dev/ttyUSB0: the device is in use by another program".
QString DescribeSystemError(const QString& action, const QString& devicePath, int errorNumber);
