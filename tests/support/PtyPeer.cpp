#include "PtyPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

int MsUntil(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// Waits for `events` on `fd` until the deadline; false on time-out, error or
// hang-up without the event.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd pfd{fd, events, 0};
        const int ready = ::poll(&pfd, 1, MsUntil(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        return (pfd.revents & events) != 0;
    }
}

}  // namespace

PtyPeer::PtyPeer() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return;
    char name[PATH_MAX];
    termios settings{};
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0 || tcgetattr(master, &settings) != 0) {
        ::close(master);
        return;
    }
    // Raw from the start, so the line discipline neither echoes nor rewrites
    // CR before the port under test configures it.
    cfmakeraw(&settings);
    if (tcsetattr(master, TCSANOW, &settings) != 0 ||
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK) != 0) {
        ::close(master);
        return;
    }
    m_master = master;
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyPeer::~PtyPeer() {
    CloseMaster();
}

void PtyPeer::CloseMaster() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

bool PtyPeer::WriteAll(const QByteArray& bytes) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
    qsizetype done = 0;
    while (m_master >= 0 && done < bytes.size()) {
        const ssize_t n =
            ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            if (!WaitFor(m_master, POLLOUT, deadline))
                return false;
        } else {
            return false;
        }
    }
    return m_master >= 0;
}

QByteArray PtyPeer::ReadBytes(int count, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    QByteArray bytes;
    while (m_master >= 0 && bytes.size() < count) {
        char chunk[512];
        const size_t want = std::min(sizeof chunk, static_cast<size_t>(count - bytes.size()));
        const ssize_t n = ::read(m_master, chunk, want);
        if (n > 0) {
            bytes.append(chunk, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            if (!WaitFor(m_master, POLLIN, deadline))
                break;
        } else {
            break;  // EIO: no slave holds the pseudo-terminal open
        }
    }
    return bytes;
}

QByteArray PtyPeer::ReadUntil(const QByteArray& suffix, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    QByteArray bytes;
    while (!bytes.endsWith(suffix)) {
        const QByteArray more = ReadBytes(1, std::chrono::milliseconds(MsUntil(deadline)));
        if (more.isEmpty())
            break;
        bytes += more;
    }
    return bytes;
}

QByteArray PtyPeer::ReadFor(std::chrono::milliseconds duration) {
    const Clock::time_point deadline = Clock::now() + duration;
    QByteArray bytes;
    while (Clock::now() < deadline) {
        const QByteArray more = ReadBytes(INT_MAX, std::chrono::milliseconds(MsUntil(deadline)));
        if (more.isEmpty())
            break;
        bytes += more;
    }
    return bytes;
}
