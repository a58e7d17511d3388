#include "WirePeer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace {

constexpr int kBitsPerByte = 10;
constexpr long kNsPerSecond = 1'000'000'000;

timespec Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}

timespec Later(timespec t, std::chrono::nanoseconds by) {
    const long long ns = t.tv_nsec + by.count();
    t.tv_sec += static_cast<time_t>(ns / kNsPerSecond);
    t.tv_nsec = static_cast<long>(ns % kNsPerSecond);
    return t;
}

bool Before(const timespec& a, const timespec& b) {
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// Absolute deadlines: an overshoot of one sleep is not added to the next.
void SleepUntil(const timespec& deadline) {
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

}  // namespace

WirePeer::WirePeer(unsigned baud, QByteArray value)
    : m_value(std::move(value)),
      m_byteTime(std::chrono::nanoseconds(kBitsPerByte * kNsPerSecond / baud)) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[PATH_MAX];
    termios settings{};
    if (master < 0)
        return;
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0 || tcgetattr(master, &settings) != 0) {
        ::close(master);
        return;
    }
    cfmakeraw(&settings);
    m_stopFd = eventfd(0, EFD_CLOEXEC);
    if (tcsetattr(master, TCSANOW, &settings) != 0 || m_stopFd < 0) {
        ::close(master);
        return;
    }
    m_master = master;
    m_slavePath = name;
}

WirePeer::~WirePeer() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        (void)!::write(m_stopFd, &one, sizeof one);
        m_thread.join();
    }
    if (m_master >= 0)
        ::close(m_master);
    if (m_stopFd >= 0)
        ::close(m_stopFd);
}

void WirePeer::Start() {
    m_thread = std::thread([this] { Run(); });
}

void WirePeer::Run() {
    QByteArray pending;
    timespec lineFree = Now();  // when the last byte received so far has arrived
    for (;;) {
        pollfd fds[2] = {{m_stopFd, POLLIN, 0}, {m_master, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[0].revents != 0)
            return;
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            if (!(fds[1].revents & POLLIN))
                return;
        }
        char chunk[512];
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            return;
        }
        // The bytes could not have crossed the wire faster than one byte time
        // each, starting no earlier than now or the end of the previous ones.
        const timespec now = Now();
        if (Before(lineFree, now))
            lineFree = now;
        for (ssize_t i = 0; i < n; ++i) {
            lineFree = Later(lineFree, m_byteTime);
            pending.append(chunk[i]);
            if (chunk[i] != '\r')
                continue;
            const QByteArray body = pending.chopped(1).trimmed();
            pending.clear();
            if (body.endsWith('?') && body.size() > 1) {
                SleepUntil(lineFree);
                // Full duplex: answering does not hold up what arrives meanwhile.
                if (!Answer(body.chopped(1), lineFree))
                    return;
            }
        }
    }
}

bool WirePeer::Answer(const QByteArray& key, timespec start) {
    const QByteArray answer = "\r" + key + "=" + m_value + "\r";
    timespec due = start;
    for (char byte : answer) {
        due = Later(due, m_byteTime);
        SleepUntil(due);
        for (;;) {
            const ssize_t n = ::write(m_master, &byte, 1);
            if (n == 1)
                break;
            if (n < 0 && errno == EINTR)
                continue;
            return false;
        }
    }
    return true;
}
