#include "SerialDevice.h"

#include "SystemError.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>

namespace {

struct BaudRate {
    unsigned rate;
    speed_t speed;
};

constexpr BaudRate kBaudRates[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
    {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
    {230400, B230400}, {460800, B460800}, {921600, B921600},
};

const BaudRate* FindBaud(unsigned baud) {
    for (const BaudRate& row : kBaudRates) {
        if (row.rate == baud)
            return &row;
    }
    return nullptr;
}

bool ConfigureLine(int fd, speed_t speed) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        return false;
    cfmakeraw(&settings);
    settings.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    if (cfsetispeed(&settings, speed) != 0 || cfsetospeed(&settings, speed) != 0)
        return false;
    if (tcsetattr(fd, TCSANOW, &settings) != 0)
        return false;
    // Bytes left in the driver from an earlier user are not ours.
    return tcflush(fd, TCIOFLUSH) == 0;
}

// The receiver does not need the modem lines, and a pseudo-terminal or a
// three-wire adapter has none, so a failure here is not an error.
void SetModemLines(int fd) {
    int dtr = TIOCM_DTR;
    int rts = TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIS, &dtr);
    (void)ioctl(fd, TIOCMBIC, &rts);
}

LinkDeviceResult Fail(int fd, const QString& action, const QString& devicePath, int err) {
    if (fd >= 0)
        ::close(fd);
    return {nullptr, DescribeSystemError(action, devicePath, err), err};
}

class SerialDevice : public LinkDevice {
public:
    SerialDevice(int fd, QString devicePath) : m_fd(fd), m_devicePath(std::move(devicePath)) {}
    ~SerialDevice() override {
        // The exclusive flag outlives our descriptor on some drivers; give the
        // device back to the next opener.
        (void)ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
    }
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    int Fd() const override { return m_fd; }
    ssize_t Write(const char* data, size_t size) override { return ::write(m_fd, data, size); }
    QString HangUpReason() const override {
        return QStringLiteral("Lost %1: the device hung up").arg(m_devicePath);
    }

private:
    int m_fd;
    QString m_devicePath;
};

}  // namespace

bool IsSupportedBaud(unsigned baud) {
    return FindBaud(baud) != nullptr;
}

LinkDeviceResult OpenSerialDevice(const QString& devicePath, unsigned baud) {
    const BaudRate* rate = FindBaud(baud);
    if (rate == nullptr) {
        return {
            nullptr,
            QStringLiteral("Cannot open %1: unsupported baud rate %2").arg(devicePath).arg(baud)};
    }
    const QByteArray path = QFile::encodeName(devicePath);
    const int fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Fail(-1, QStringLiteral("Cannot open"), devicePath, errno);

    // TIOCEXCL keeps other users out, but root ignores it; the flock also stops
    // a second copy of this program running as root.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return Fail(fd, QStringLiteral("Cannot open"), devicePath, errno);
    }
    if (!isatty(fd))
        return Fail(fd, QStringLiteral("Cannot open"), devicePath, ENOTTY);
    if (ioctl(fd, TIOCEXCL) != 0)
        return Fail(fd, QStringLiteral("Cannot lock"), devicePath, errno);
    if (!ConfigureLine(fd, rate->speed)) {
        return Fail(fd, QStringLiteral("Cannot configure"), devicePath, errno);
    }
    SetModemLines(fd);
    return {std::make_unique<SerialDevice>(fd, devicePath), QString()};
}
