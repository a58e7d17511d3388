#include "SerialWorker.h"

#include "SystemError.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <system_error>
#include <utility>

namespace {

// Bytes fetched per read(). The receiver sends a few dozen bytes a line, so
// one read usually holds several lines.
constexpr size_t kReadChunk = 512;
// Bounds one hand-off, so a device that never runs dry still gets its lines
// delivered and the stop signal looked at.
constexpr int kReadsPerHandOff = 64;
// How often the line's use is judged.
constexpr std::chrono::milliseconds kRateWindow{100};

}  // namespace

SerialWorker::SerialWorker(std::unique_ptr<LinkDevice> device, QString devicePath, unsigned baud,
                           Callbacks callbacks)
    : m_device(std::move(device)),
      m_fd(m_device->Fd()),
      m_devicePath(std::move(devicePath)),
      m_callbacks(std::move(callbacks)),
      m_byteTime(std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(10)) /
                 std::max(baud, 1u)) {}

SerialWorker::~SerialWorker() {
    Stop();
}

bool SerialWorker::Start(QString* error) {
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0) {
        *error =
            DescribeSystemError(QStringLiteral("Cannot start the reader for"), m_devicePath, errno);
        return false;
    }
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error& failure) {
        *error = DescribeSystemError(QStringLiteral("Cannot start the reader for"), m_devicePath,
                                     failure.code().value());
        return false;
    }
    return true;
}

void SerialWorker::Stop() {
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        Wake();
        m_thread.join();
    }
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
    }
    EndWrite();
    m_device.reset();
    m_fd = -1;
    if (m_wakeFd >= 0) {
        ::close(m_wakeFd);
        m_wakeFd = -1;
    }
}

void SerialWorker::Enqueue(QByteArray bytes) {
    if (m_lost.load())
        return;
    {
        std::lock_guard lock(m_mutex);
        // With nothing before them the bytes go out from here, a thread hop
        // sooner than the worker could write them: a request's round trip is
        // that much shorter. What the device does not take now is the worker's.
        if (m_queue.empty() && !m_writing && !m_stop) {
            bool full = false;
            bytes.remove(0, WriteNow(bytes.constData(), bytes.size(), &full));
            if (bytes.isEmpty())
                return;
        }
        m_queue.push_back(std::move(bytes));
    }
    Wake();
}

qsizetype SerialWorker::WriteNow(const char* data, qsizetype size, bool* full) {
    qsizetype written = 0;
    *full = false;
    while (written < size) {
        const ssize_t n = m_device->Write(data + written, static_cast<size_t>(size - written));
        if (n > 0) {
            written += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            *full = n < 0 && errno == EAGAIN;
            break;
        }
    }
    return written;
}

void SerialWorker::SetReplyAwaited(bool awaited) {
    // A resting worker is not reading, and lines held back for a busy owner
    // wait: wake it, so that neither holds the reply back.
    if (!m_replyAwaited.exchange(awaited) && awaited)
        Wake();
}

void SerialWorker::LinesTaken(int count) {
    if (m_linesInFlight.fetch_sub(count) <= count && m_wakeWhenTaken.exchange(false))
        Wake();
}

void SerialWorker::Wake() {
    const uint64_t one = 1;
    // The counter only saturates after 2^64 - 2 unread wake-ups, so a failed
    // write here means the worker is already due to wake.
    (void)!::write(m_wakeFd, &one, sizeof one);
}

void SerialWorker::DrainWake() {
    uint64_t count = 0;
    (void)!::read(m_wakeFd, &count, sizeof count);
}

void SerialWorker::Run() {
    for (;;) {
        while (!m_current.active && TakeNextWrite())
            ContinueWrite();
        // The owner has taken what it had (it woke this thread to say so).
        if (!m_held.isEmpty())
            HandOver(m_replyAwaited.load());

        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {-1, 0, 0}};
        nfds_t count = 1;
        // While the owner is behind, the device is not read; a hang-up it
        // reported could not be read out either and would end every poll() at
        // once, so it is watched only while a write goes on.
        const Clock::time_point now = Clock::now();
        bool paused = AtLineLimit();
        if (paused) {
            // The owner wakes this thread when it has taken its lines; asked
            // before looking again, so lines taken in between are not missed.
            m_wakeWhenTaken.store(true);
            paused = AtLineLimit();
        }
        if (m_watchDevice && (!paused || m_current.active)) {
            // A hang-up is reported while resting all the same.
            const short events = static_cast<short>((paused || Resting(now) ? 0 : POLLIN) |
                                                    (m_current.active ? POLLOUT : 0));
            fds[1] = {m_fd, events, 0};
            count = 2;
        }
        // A rest is over: one look without waiting tells whether the flood goes on.
        const bool look = m_restToJudge && !Resting(now) && count == 2 && (fds[1].events & POLLIN);
        const int ready = ::poll(fds, count, look ? 0 : PollTimeoutMs(now));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            // poll() itself failing (out of memory) cannot be waited out. Give
            // up the device first; if even the wake-up descriptor cannot be
            // polled, end the thread (Stop still joins it) rather than spin.
            if (!m_watchDevice)
                return;
            LoseDevice(DescribeSystemError(QStringLiteral("Lost"), m_devicePath, error));
            continue;
        }
        if (fds[0].revents != 0) {
            DrainWake();
            std::lock_guard lock(m_mutex);
            if (m_stop)
                return;
        }
        if (look) {
            m_restToJudge = false;
            // Nothing came during the rest: the receiver paused, the flood is over.
            if ((fds[1].revents & POLLIN) == 0)
                EndFlood(Clock::now());
        }
        if (m_watchDevice && !paused && fds[1].revents != 0)
            ReadDevice(fds[1].revents);
        if (m_current.active)
            ContinueWrite();
    }
}

bool SerialWorker::TakeNextWrite() {
    std::lock_guard lock(m_mutex);
    if (m_queue.empty())
        return false;
    m_current.data = std::move(m_queue.front());
    m_queue.pop_front();
    m_current.written = 0;
    m_current.deadline = Clock::now() + kWriteTimeout;
    m_current.active = true;
    m_writing = true;
    return true;
}

void SerialWorker::EndWrite() {
    m_current = OutgoingWrite{};
    std::lock_guard lock(m_mutex);
    m_writing = false;
}

// Writes what the device takes now. A request is done when all of it is
// written, when the device refuses it, or when its 100 ms are up; it is never
// repeated.
void SerialWorker::ContinueWrite() {
    if (!m_watchDevice) {
        EndWrite();
        return;
    }
    bool full = false;
    m_current.written += WriteNow(m_current.data.constData() + m_current.written,
                                  m_current.data.size() - m_current.written, &full);
    if (m_current.written < m_current.data.size() && full && Clock::now() < m_current.deadline)
        return;
    EndWrite();
}

bool SerialWorker::Resting(Clock::time_point now) const {
    return m_flooding && !m_replyAwaited.load() && now < m_restEnds;
}

int SerialWorker::PollTimeoutMs(Clock::time_point now) const {
    std::optional<Clock::time_point> wakeAt;
    if (m_current.active)
        wakeAt = m_current.deadline;
    if (m_watchDevice && Resting(now) && (!wakeAt || m_restEnds < *wakeAt))
        wakeAt = m_restEnds;
    if (!wakeAt)
        return -1;
    const auto left = *wakeAt - now;
    if (left <= Clock::duration::zero())
        return 0;
    // Rounded up, so the deadline has passed when poll() returns.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

void SerialWorker::ReadDevice(short revents) {
    if (revents & POLLNVAL) {
        LoseDevice(DescribeSystemError(QStringLiteral("Lost"), m_devicePath, EBADF));
        return;
    }
    char chunk[kReadChunk];
    const qsizetype heldBefore = m_held.size();
    ssize_t n = 0;
    qint64 bytes = 0;
    int readError = 0;
    // More may be waiting than one chunk holds: read on until the device has
    // no more (a fast device server must not be slowed to one chunk per
    // wake-up), then hand everything over at once.
    for (int reads = 0; reads < kReadsPerHandOff && !AtLineLimit(); ++reads) {
        n = ::read(m_fd, chunk, sizeof chunk);
        readError = n < 0 ? errno : 0;
        bytes += std::max<ssize_t>(n, 0);
        for (ssize_t i = 0; i < n; ++i) {
            if (std::optional<QByteArray> line = m_assembler.Feed(chunk[i]))
                m_held.append(std::move(*line));
        }
        if (n < static_cast<ssize_t>(sizeof chunk))
            break;
    }
    const bool gotLines = m_held.size() > heldBefore;
    if (gotLines) {
        // The carriage return that opens a framed line arrives on its own on a
        // paced line; resting after it would hold back the line it announces.
        const qsizetype text =
            std::count_if(m_held.cbegin() + heldBefore, m_held.cend(),
                          [](const QByteArray& line) { return !line.isEmpty(); });
        const Clock::time_point now = Clock::now();
        CountBytes(bytes, now);
        if (text > 0 && m_flooding && !m_replyAwaited.load()) {
            m_restEnds = now + kFloodRest;
            m_restToJudge = true;
        }
        HandOver(m_replyAwaited.load());
    }
    if (n > 0 || gotLines)
        return;
    if (n < 0 && (readError == EINTR || readError == EAGAIN)) {
        // A hang-up or error with nothing to read will be reported by every
        // poll() from now on: stop watching the device instead of spinning.
        if (revents & (POLLHUP | POLLERR))
            LoseDevice(m_device->HangUpReason());
        return;
    }
    if (n == 0) {
        LoseDevice(m_device->HangUpReason());
    } else {
        LoseDevice(DescribeSystemError(QStringLiteral("Lost"), m_devicePath, readError));
    }
}

void SerialWorker::CountBytes(qint64 bytes, Clock::time_point now) {
    m_windowBytes += bytes;
    const auto elapsed = now - m_windowStart;
    if (elapsed < kRateWindow)
        return;
    // Lines after a quiet spell count over the whole spell: never a flood. A
    // stall of either end (a loaded machine) moves lines from one window into
    // the next, so only two busy windows in a row make a flood.
    const bool busy = static_cast<double>((m_byteTime * m_windowBytes).count()) >=
                      kFloodShare * static_cast<double>(elapsed.count());
    m_flooding = busy && m_busyWindow;
    m_busyWindow = busy;
    m_windowBytes = 0;
    m_windowStart = now;
}

void SerialWorker::EndFlood(Clock::time_point now) {
    m_flooding = false;
    m_busyWindow = false;
    m_windowBytes = 0;
    m_windowStart = now;
}

void SerialWorker::HandOver(bool now) {
    if (!now && m_linesInFlight.load() > 0) {
        // The owner wakes this thread when it takes its last line. Asked
        // before looking again, so a last line taken in between is not missed:
        // then the flag is cleared here instead, and nobody wakes anyone.
        m_wakeWhenTaken.store(true);
        if (m_linesInFlight.load() > 0 || !m_wakeWhenTaken.exchange(false))
            return;
    }
    m_wakeWhenTaken.store(false);
    m_linesInFlight += static_cast<int>(m_held.size());
    m_callbacks.linesReceived(std::exchange(m_held, {}));
}

void SerialWorker::LoseDevice(const QString& reason) {
    if (m_lost.exchange(true))
        return;
    m_watchDevice = false;
    // What was read before the loss reaches the owner before the loss.
    if (!m_held.isEmpty())
        HandOver(true);
    EndWrite();
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
    }
    m_callbacks.deviceLost(reason);
}
