#include "PortClient.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

using Clock = std::chrono::steady_clock;

PortClient::PortClient(const QString& path) {
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return;
    termios settings{};
    if (::tcgetattr(m_fd, &settings) != 0) {
        Close();
        return;
    }
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, B115200);
    if (::tcsetattr(m_fd, TCSANOW, &settings) != 0)
        Close();
}

PortClient::~PortClient() {
    Close();
}

void PortClient::Close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool PortClient::Write(const QByteArray& bytes) {
    qsizetype done = 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(3);
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, bytes.size() - done);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd fd{m_fd, POLLOUT, 0};
        if (Clock::now() >= deadline || ::poll(&fd, 1, 100) < 0)
            return false;
    }
    return true;
}

bool PortClient::Fill(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
        return false;
    pollfd fd{m_fd, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0)
        return false;
    char buffer[4096];
    const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
    if (n > 0)
        m_pending.append(buffer, n);
    return n > 0 || (n < 0 && errno == EAGAIN);
}

QByteArray PortClient::ReadLine(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        qsizetype end;
        while ((end = m_pending.indexOf('\r')) >= 0) {
            const QByteArray line = m_pending.left(end);
            m_pending.remove(0, end + 1);
            if (!line.isEmpty())
                return line;
        }
        if (!Fill(deadline))
            return {};
    }
}

QList<QByteArray> PortClient::ReadLines(int count, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    QList<QByteArray> lines;
    while (lines.size() < count) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const QByteArray line = ReadLine(std::max(left, std::chrono::milliseconds(0)));
        if (line.isEmpty())
            break;
        lines.append(line);
    }
    return lines;
}

QByteArray PortClient::ReadBytes(int count, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    while (m_pending.size() < count && Fill(deadline)) {
    }
    const QByteArray bytes = m_pending.left(count);
    m_pending.remove(0, bytes.size());
    return bytes;
}
