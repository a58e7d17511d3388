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

namespace {

// Bytes fetched per read(). The receiver sends a few dozen bytes a line, so
// one read usually holds several lines.
constexpr size_t kReadChunk = 512;
// Bounds one hand-off, so a device that never runs dry still gets its lines
// delivered and the stop signal looked at.
constexpr int kReadsPerHandOff = 64;

}  // namespace

SerialWorker::SerialWorker(std::unique_ptr<LinkDevice> device, QString devicePath,
                           Callbacks callbacks, std::chrono::milliseconds restTime)
    : m_device(std::move(device)),
      m_fd(m_device->Fd()),
      m_devicePath(std::move(devicePath)),
      m_callbacks(std::move(callbacks)),
      m_restTime(restTime),
      m_rest(restTime) {}

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
    // A resting worker is not reading; wake it so the reply is not held back.
    if (!m_replyAwaited.exchange(awaited) && awaited)
        Wake();
}

void SerialWorker::LinesTaken(int count) {
    constexpr int kResumeBelow = kMaxLinesInFlight / 2;
    const int before = m_linesInFlight.fetch_sub(count);
    if (before >= kResumeBelow && before - count < kResumeBelow)
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

        const Clock::time_point now = Clock::now();
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {-1, 0, 0}};
        nfds_t count = 1;
        // While the owner is behind, the device is not read; a hang-up it
        // reported could not be read out either and would end every poll() at
        // once, so it is watched only while a write goes on.
        const bool paused = OwnerIsBehind();
        if (m_watchDevice && (!paused || m_current.active)) {
            // A hang-up is reported while resting all the same.
            const short events = static_cast<short>((Resting(now) || paused ? 0 : POLLIN) |
                                                    (m_current.active ? POLLOUT : 0));
            fds[1] = {m_fd, events, 0};
            count = 2;
        }
        // The rest is over (or a reply is awaited): look once without waiting.
        const bool look = m_restToJudge && count == 2 && (fds[1].events & POLLIN) != 0;
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
        if (look && ready >= 0) {
            m_restToJudge = false;
            if ((fds[1].revents & POLLIN) == 0)
                m_rest = m_restTime;  // nothing came meanwhile: the stream is over
        }
        if (m_watchDevice && !paused && fds[1].revents != 0) {
            ReadDevice(fds[1].revents, look);
        }
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
    return !m_replyAwaited.load() && now < m_lastHandOff + m_rest;
}

int SerialWorker::PollTimeoutMs(Clock::time_point now) const {
    std::optional<Clock::time_point> wakeAt;
    if (m_current.active)
        wakeAt = m_current.deadline;
    if (m_watchDevice && Resting(now)) {
        const Clock::time_point restEnds = m_lastHandOff + m_rest;
        if (!wakeAt || restEnds < *wakeAt)
            wakeAt = restEnds;
    }
    if (!wakeAt)
        return -1;
    const auto left = *wakeAt - now;
    if (left <= Clock::duration::zero())
        return 0;
    // Rounded up, so the deadline has passed when poll() returns.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

void SerialWorker::ReadDevice(short revents, bool afterRest) {
    if (revents & POLLNVAL) {
        LoseDevice(DescribeSystemError(QStringLiteral("Lost"), m_devicePath, EBADF));
        return;
    }
    char chunk[kReadChunk];
    QList<QByteArray> lines;
    ssize_t n = 0;
    int readError = 0;
    // After a rest more may be waiting than one chunk holds: read on until
    // the device has no more (a fast device server must not be slowed to one
    // chunk per rest), then hand everything over at once.
    for (int reads = 0;
         reads < kReadsPerHandOff && m_linesInFlight.load() + lines.size() < kMaxLinesInFlight;
         ++reads) {
        n = ::read(m_fd, chunk, sizeof chunk);
        readError = n < 0 ? errno : 0;
        for (ssize_t i = 0; i < n; ++i) {
            if (std::optional<QByteArray> line = m_assembler.Feed(chunk[i])) {
                lines.append(std::move(*line));
            }
        }
        if (n < static_cast<ssize_t>(sizeof chunk))
            break;
    }
    if (!lines.isEmpty()) {
        // The carriage return that opens a framed line arrives on its own on a
        // paced line; resting after it would hold back the line it announces.
        if (std::any_of(lines.cbegin(), lines.cend(),
                        [](const QByteArray& line) { return !line.isEmpty(); })) {
            if (afterRest)
                m_rest = std::min(m_rest * 2, m_restTime * kLongestRestFactor);
            m_lastHandOff = Clock::now();
            m_restToJudge = true;
        }
        m_linesInFlight += static_cast<int>(lines.size());
        m_callbacks.linesReceived(std::move(lines));
    }
    if (n > 0 || !lines.isEmpty())
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

void SerialWorker::LoseDevice(const QString& reason) {
    if (m_lost.exchange(true))
        return;
    m_watchDevice = false;
    EndWrite();
    {
        std::lock_guard lock(m_mutex);
        m_queue.clear();
    }
    m_callbacks.deviceLost(reason);
}
