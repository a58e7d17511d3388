#include "SystemError.h"

#include <cerrno>
#include <cstring>

namespace {

struct ErrorText {
    int errorNumber;
    const char* text;
};

// Wordings for the failures a user can do something about; every other errno
// falls back to the C library's text.
constexpr ErrorText kErrorTexts[] = {
    {ENOENT, "no such device"},
    {ENODEV, "no such device"},
    {ENXIO, "the device is not connected"},
    {EACCES, "permission denied (is the user in the \"dialout\" group?)"},
    {EPERM, "permission denied"},
    {EBUSY, "the device is in use by another program"},
    {EWOULDBLOCK, "the device is in use by another program"},
    {ENOTTY, "the file is not a serial device"},
    {EIO, "the device does not respond"},
};

QString TextOf(int errorNumber) {
    for (const ErrorText& row : kErrorTexts) {
        if (row.errorNumber == errorNumber)
            return QString::fromLatin1(row.text);
    }
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

}  // namespace

QString DescribeSystemError(const QString& action, const QString& devicePath, int errorNumber) {
    return QStringLiteral("%1 %2: %3").arg(action, devicePath, TextOf(errorNumber));
}
