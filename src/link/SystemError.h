#pragma once

#include <QString>

// The one place where an errno value becomes words for the user.

// What a failed open means for the person at the desk.
enum class SystemErrorKind { Missing, Permission, Busy, NotSerial, Other };

SystemErrorKind KindOfSystemError(int errorNumber);

// A sentence for a log or a detail line, e.g.
// "Cannot open /dev/ttyUSB0: the device is in use by another program".
QString DescribeSystemError(const QString& action, const QString& devicePath, int errorNumber);

// What to do about a device that would not open, e.g. "Another program holds
// /dev/ttyUSB0"; empty for an error no advice is known for.
QString AdviseOnDeviceError(const QString& devicePath, int errorNumber);
