#include "PtyPeer.h"
#include "SerialPort.h"
#include "SystemError.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <ostream>

namespace {

const QString kDevice = QStringLiteral("/dev/ttyUSB0");

struct ErrnoCase {
    const char* name;
    int errorNumber;
    SystemErrorKind kind;
    const char* advice;  // "" when none is known
};

void PrintTo(const ErrnoCase& c, std::ostream* out) {
    *out << c.name;
}

const ErrnoCase kErrnoCases[] = {
    {"Missing", ENOENT, SystemErrorKind::Missing, "/dev/ttyUSB0 does not exist"},
    {"NoDevice", ENODEV, SystemErrorKind::Missing, "/dev/ttyUSB0 does not exist"},
    {"Unplugged", ENXIO, SystemErrorKind::Missing, "/dev/ttyUSB0 is not connected"},
    {"PermissionDenied", EACCES, SystemErrorKind::Permission,
     "Your user may not use /dev/ttyUSB0: add it to the dialout group (sudo adduser $USER "
     "dialout) and log in again"},
    {"NotPermitted", EPERM, SystemErrorKind::Permission,
     "Your user may not use /dev/ttyUSB0: add it to the dialout group (sudo adduser $USER "
     "dialout) and log in again"},
    {"Busy", EBUSY, SystemErrorKind::Busy, "Another program holds /dev/ttyUSB0"},
    {"LockedByAnotherCopy", EWOULDBLOCK, SystemErrorKind::Busy,
     "Another program holds /dev/ttyUSB0"},
    {"NotATerminal", ENOTTY, SystemErrorKind::NotSerial, "/dev/ttyUSB0 is not a serial device"},
    {"NoUartBehindName", EIO, SystemErrorKind::Other,
     "/dev/ttyUSB0 does not respond: there may be no serial port behind it"},
    {"UnknownHasNoAdvice", EINVAL, SystemErrorKind::Other, ""},
};

class ErrnoText : public ::testing::TestWithParam<ErrnoCase> {};

TEST_P(ErrnoText, GivesKindAndAdvice) {
    const ErrnoCase& c = GetParam();
    EXPECT_EQ(KindOfSystemError(c.errorNumber), c.kind);
    EXPECT_EQ(AdviseOnDeviceError(kDevice, c.errorNumber), QString::fromLatin1(c.advice));
    // Every errno still yields a sentence naming the device.
    EXPECT_TRUE(DescribeSystemError(QStringLiteral("Cannot open"), kDevice, c.errorNumber)
                    .startsWith(QStringLiteral("Cannot open /dev/ttyUSB0: ")));
}

INSTANTIATE_TEST_SUITE_P(Table, ErrnoText, ::testing::ValuesIn(kErrnoCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SystemErrorText, UnlistedErrnoFallsBackToTheLibraryText) {
    EXPECT_EQ(DescribeSystemError(QStringLiteral("Cannot open"), kDevice, EINVAL),
              QStringLiteral("Cannot open /dev/ttyUSB0: ") +
                  QString::fromLocal8Bit(std::strerror(EINVAL)));
}

struct RealOpenCase {
    const char* name;
    QString path;  // empty: a pseudo-terminal already held by this test
    SystemErrorKind kind;
};

// The errno a real failed open leaves behind lands in the right row.
TEST(SystemErrorText, RealFailedOpensCarryTheirErrno) {
    PtyPeer peer;
    ASSERT_TRUE(peer.IsOpen());
    SerialPort holder;
    ASSERT_TRUE(holder.Open(peer.DevicePath())) << holder.LastError().toStdString();

    const RealOpenCase cases[] = {
        {"missing device", QStringLiteral("/dev/ampdesk-no-such-port"), SystemErrorKind::Missing},
        {"not a terminal", QStringLiteral("/dev/null"), SystemErrorKind::NotSerial},
        {"held by another opener", peer.DevicePath(), SystemErrorKind::Busy},
    };
    for (const RealOpenCase& c : cases) {
        SCOPED_TRACE(c.name);
        SerialPort port;
        ASSERT_FALSE(port.Open(c.path));
        EXPECT_NE(port.LastErrorNumber(), 0);
        EXPECT_EQ(KindOfSystemError(port.LastErrorNumber()), c.kind);
        EXPECT_FALSE(AdviseOnDeviceError(c.path, port.LastErrorNumber()).isEmpty());
    }
}

TEST(SystemErrorText, SuccessfulOpenClearsTheErrno) {
    PtyPeer peer;
    ASSERT_TRUE(peer.IsOpen());
    SerialPort port;
    ASSERT_FALSE(port.Open(QStringLiteral("/dev/ampdesk-no-such-port")));
    ASSERT_TRUE(port.Open(peer.DevicePath()));
    EXPECT_EQ(port.LastErrorNumber(), 0);
}

}  // namespace
