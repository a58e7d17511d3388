#include "SystemError.h"

#include <cerrno>
#include <cstring>

namespace {

struct ErrorText {
    int errorNumber;
    SystemErrorKind kind;
    const char* reason;
    const char* advice;  // %1 is the device; nullptr when there is nothing to advise
};

// Wordings for the failures a user can do something about; every other errno
// falls back to the C library's text and has no advice.
constexpr ErrorText kErrorTexts[] = {
    {ENOENT, SystemErrorKind::Missing, "no such device", "%1 does not exist"},
    {ENODEV, SystemErrorKind::Missing, "no such device", "%1 does not exist"},
    {ENXIO, SystemErrorKind::Missing, "the device is not connected", "%1 is not connected"},
    {EACCES, SystemErrorKind::Permission,
     "permission denied (is the user in the \"dialout\" group?)",
     "Your user may not use %1: add it to the dialout group (sudo adduser $USER dialout) and "
     "log in again"},
    {EPERM, SystemErrorKind::Permission, "permission denied",
     "Your user may not use %1: add it to the dialout group (sudo adduser $USER dialout) and "
     "log in again"},
    {EBUSY, SystemErrorKind::Busy, "the device is in use by another program",
     "Another program holds %1"},
    {EWOULDBLOCK, SystemErrorKind::Busy, "the device is in use by another program",
     "Another program holds %1"},
    {ENOTTY, SystemErrorKind::NotSerial, "the file is not a serial device",
     "%1 is not a serial device"},
    // An on-board port name without a UART behind it opens with EIO.
    {EIO, SystemErrorKind::Other, "the device does not respond",
     "%1 does not respond: there may be no serial port behind it"},
    // A serial device server reached as tcp://host:port.
    {ECONNREFUSED, SystemErrorKind::Other, "connection refused (nothing listens on that port)",
     "Nothing listens at %1: check the device server's address and port number"},
    {ECONNRESET, SystemErrorKind::Other, "the connection was reset", nullptr},
    {EHOSTUNREACH, SystemErrorKind::Other, "the host cannot be reached",
     "%1 cannot be reached: check the network and the device server's address"},
    {ENETUNREACH, SystemErrorKind::Other, "the network cannot be reached",
     "%1 cannot be reached: check the network and the device server's address"},
    {ETIMEDOUT, SystemErrorKind::Other, "no answer in time",
     "%1 did not answer: check that the device server is on and reachable"},
};

const ErrorText* FindRow(int errorNumber) {
    for (const ErrorText& row : kErrorTexts) {
        if (row.errorNumber == errorNumber)
            return &row;
    }
    return nullptr;
}

}  // namespace

SystemErrorKind KindOfSystemError(int errorNumber) {
    const ErrorText* row = FindRow(errorNumber);
    return row != nullptr ? row->kind : SystemErrorKind::Other;
}

QString DescribeSystemError(const QString& action, const QString& devicePath, int errorNumber) {
    const ErrorText* row = FindRow(errorNumber);
    const QString reason = row != nullptr ? QString::fromLatin1(row->reason)
                                          : QString::fromLocal8Bit(std::strerror(errorNumber));
    return QStringLiteral("%1 %2: %3").arg(action, devicePath, reason);
}

QString AdviseOnDeviceError(const QString& devicePath, int errorNumber) {
    const ErrorText* row = FindRow(errorNumber);
    if (row == nullptr || row->advice == nullptr)
        return {};
    return QString::fromLatin1(row->advice).arg(devicePath);
}
