#include "SimLoop.h"

#include "LineEndpoint.h"
#include "PtyEndpoint.h"
#include "Receiver.h"
#include "StateFile.h"
#include "WireLog.h"

#include <QFile>

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

using namespace std::chrono_literals;

// Without inotify, a closed line is looked at again this often: slow enough
// not to load the machine, quick enough for a console that opens the port.
constexpr auto kClosedLineRecheck = 20ms;
// Saves are gathered: a restore of several hundred lines writes the file a few
// times, not once per line.
constexpr auto kSaveDelay = 200ms;
// Bytes taken from the terminal at a time on a paced line: a whole command in
// one read as a rule (5.6 ms of wire at 115200 baud).
constexpr size_t kPacedReadBytes = 64;
// An unpaced line is read until it is empty, but no more than this in one pass
// of the loop: a client that writes without pause must not keep the loop from
// its answers and its signals, nor pile up commands.
constexpr size_t kReadBytesPerPass = 64 * 1024;
// Commands received and not yet handled; beyond this the line is not read, so
// a client writing faster than the unit answers meets a full line.
constexpr size_t kMaxQueuedCommands = 4096;

// Status lines of no setting the receiver has, as a device server's own
// chatter; each key differs, so that none takes another's place in the queue.
const QByteArray kJunkPrefix = QByteArrayLiteral("Junk.Noise");

void PrintError(const QString& text) {
    std::fprintf(stderr, "ampdesk-receiver-sim: %s\n", text.toLocal8Bit().constData());
}

}  // namespace

SimLoop::SimLoop(const SimOptions& options, Receiver& receiver, LineEndpoint& line, WireLog& log)
    : m_options(options),
      m_receiver(receiver),
      m_line(line),
      m_log(log),
      m_inbound(LinePacer::ByteTime(options.baud)),
      m_outbound(LinePacer::ByteTime(options.baud), options.leadingCr),
      m_limits(options, LinePacer::ByteTime(options.baud)),
      m_random(std::random_device{}()),
      m_lineOpen(line.OpenAtStart()),
      m_silent(options.silent) {}

SimLoop::~SimLoop() {
    if (m_signalFd >= 0)
        ::close(m_signalFd);
}

bool SimLoop::SetUpSignals() {
    ::signal(SIGPIPE, SIG_IGN);
    sigset_t mask;
    sigemptyset(&mask);
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGUSR1})
        sigaddset(&mask, number);
    if (::sigprocmask(SIG_BLOCK, &mask, nullptr) != 0) {
        PrintError(SystemErrorText("sigprocmask", errno));
        return false;
    }
    m_signalFd = ::signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
    if (m_signalFd < 0) {
        PrintError(SystemErrorText("signalfd", errno));
        return false;
    }
    return true;
}

bool SimLoop::Prepare() {
    return SetUpSignals();
}

int SimLoop::Run() {
    if (m_signalFd < 0 && !Prepare())
        return 1;
    if (m_options.frontPanelMs > 0)
        m_nextFrontPanel = Clock::now() + std::chrono::milliseconds(m_options.frontPanelMs);
    while (!m_stop) {
        Clock::time_point now = Clock::now();
        RunDue(now);
        PumpOutput(now);

        pollfd fds[3] = {{m_signalFd, POLLIN, 0}, {-1, 0, 0}, {-1, 0, 0}};
        if (m_lineOpen) {
            // Without POLLIN a hang-up is still reported.
            const short events = static_cast<short>(
                (MayRead(now) ? POLLIN : 0) | (m_blocked || m_options.junkFlood ? POLLOUT : 0));
            fds[1] = {m_line.LineFd(), events, 0};
        }
        fds[2] = {m_line.WatchFd(m_lineOpen), POLLIN, 0};
        std::optional<Clock::time_point> deadline = NextDeadline(now);
        const bool recheck = !m_lineOpen && m_line.NeedsRecheck();
        if (recheck) {
            const Clock::time_point at = now + kClosedLineRecheck;
            deadline = deadline ? std::min(*deadline, at) : at;
        }
        timespec timeout{};
        if (deadline) {
            const auto wait =
                std::max(LinePacer::Duration::zero(),
                         std::chrono::duration_cast<LinePacer::Duration>(*deadline - now));
            timeout.tv_sec = wait.count() / 1'000'000'000;
            timeout.tv_nsec = wait.count() % 1'000'000'000;
        }
        if (::ppoll(fds, 3, deadline ? &timeout : nullptr, nullptr) < 0 && errno != EINTR) {
            PrintError(SystemErrorText("ppoll", errno));
            return 1;
        }
        now = Clock::now();
        if (fds[0].revents & POLLIN)
            HandleSignals(now);
        if (m_lineOpen && fds[1].fd >= 0) {
            if (fds[1].revents & POLLOUT)
                m_blocked = false;
            if (fds[1].revents & POLLIN) {
                ReadLine(now);
            } else if (fds[1].revents & (POLLHUP | POLLERR)) {
                LineClosed(now);
            }
        }
        if ((fds[2].fd >= 0 && (fds[2].revents & POLLIN)) || recheck) {
            if (m_line.ConsoleArrived() && !m_lineOpen)
                LineOpened(now);
        }
    }
    SaveState();
    return 0;
}

void SimLoop::RunDue(Clock::time_point now) {
    while (std::optional<LinePacer::Command> command = m_inbound.TakeDue(now)) {
        if (command->droppedLength > 0) {
            m_log.Dropped(command->due, command->wireBytes, command->droppedLength);
            continue;
        }
        m_log.Received(command->due, command->wireBytes, command->body);
        if (m_silent)
            continue;
        const UnitLimits::Taken taken = m_limits.Take(*command);
        if (taken.note != nullptr)
            m_log.Note(command->due, taken.note);
        if (!taken.executed)
            continue;
        const bool set = taken.body.indexOf('=') > 0;
        const int latencyMs =
            set && m_options.setLatencyMs >= 0 ? m_options.setLatencyMs : m_options.latencyMs;
        const Clock::time_point ready = taken.handled + std::chrono::milliseconds(latencyMs);
        const QList<QByteArray> lines = m_receiver.Handle(taken.body);
        Answer(lines, ready);
        m_limits.Answered(taken.handled, ready, lines);
    }
    if (m_nextFrontPanel && now >= *m_nextFrontPanel) {
        const auto period = std::chrono::milliseconds(m_options.frontPanelMs);
        *m_nextFrontPanel += period;
        if (*m_nextFrontPanel <= now)
            m_nextFrontPanel = now + period;
        FrontPanel(now);
    }
    if (m_receiver.TakeChanged()) {
        m_stateDirty = true;
        if (!m_saveDue)
            m_saveDue = now + kSaveDelay;
    }
    if (m_saveDue && now >= *m_saveDue) {
        SaveState();
        m_saveDue.reset();
    }
}

void SimLoop::Answer(const QList<QByteArray>& lines, Clock::time_point ready,
                     LinePacer::Outbound::Kind kind) {
    // With nobody at the other end the lines go nowhere, as on an unplugged cable.
    if (!m_lineOpen)
        return;
    for (const QByteArray& line : lines) {
        if (!m_outbound.Queue(line, ready, kind))
            m_log.Note(ready, "output queue full, line dropped");
    }
}

// The person at the front panel is no faster than the unit can report: while
// the unsolicited queue is full (a flood faster than the line), nothing changes,
// so every change made is also reported.
void SimLoop::FrontPanel(Clock::time_point now) {
    // Nobody would hear the change: the unit makes none it would owe the
    // console once the line opens.
    if (!m_lineOpen) {
        if (!m_unheardNoted)
            m_log.Note(now, "front panel unheard, line closed");
        m_unheardNoted = true;
        return;
    }
    if (m_silent || !m_outbound.HasUnsolicitedRoom())
        return;
    Answer(m_receiver.FrontPanelChange(m_random), now, LinePacer::Outbound::Kind::Unsolicited);
}

bool SimLoop::MayRead(Clock::time_point now) const {
    if (m_inbound.Queued() >= kMaxQueuedCommands)
        return false;
    return m_options.baud <= 0 || m_inbound.WireFree() <= now;
}

void SimLoop::PumpOutput(Clock::time_point now) {
    m_outputWake.reset();
    if (!m_lineOpen || m_blocked)
        return;
    // Junk goes whenever the line takes more, behind any answer.
    while (m_options.junkFlood && m_outbound.HasUnsolicitedRoom()) {
        m_outbound.Queue(kJunkPrefix + QByteArray::number(++m_junkLines) + "=chatter of no setting",
                         now, LinePacer::Outbound::Kind::Unsolicited);
    }
    const int fd = m_line.LineFd();
    const LinePacer::Outbound::Result result = m_outbound.Pump(
        now, [fd](const char* data, qsizetype size) { return qint64(::write(fd, data, size)); },
        [this](Clock::time_point sent, qint64 wireBytes, const QByteArray& line) {
            // Logged, a flood of junk would fill the disk.
            if (!line.startsWith(kJunkPrefix))
                m_log.Sent(sent, wireBytes, line);
        });
    switch (result) {
        case LinePacer::Outbound::Result::Done:
            break;
        case LinePacer::Outbound::Result::Waiting:
            m_outputWake = m_outbound.NextWake();
            break;
        case LinePacer::Outbound::Result::Blocked:
            m_blocked = true;
            break;
        case LinePacer::Outbound::Result::Failed:
            LineClosed(now);
            break;
    }
}

void SimLoop::ReadLine(Clock::time_point now) {
    char buffer[4096];
    // A paced line takes one small chunk and then no more until it has crossed
    // the wire; the rest waits in the terminal, whose writer then blocks.
    const bool paced = m_options.baud > 0;
    const size_t chunk = paced ? kPacedReadBytes : sizeof buffer;
    for (size_t taken = 0; taken < kReadBytesPerPass;) {
        const ssize_t count = ::read(m_line.LineFd(), buffer, chunk);
        if (count > 0) {
            // After a full chunk more bytes were waiting: they crossed the wire
            // right behind it, not when this loop happened to wake.
            const Clock::time_point arrival =
                paced && m_moreWaiting ? std::min(now, m_inbound.WireFree()) : now;
            m_inbound.Receive(buffer, count, arrival);
            m_moreWaiting = static_cast<size_t>(count) == chunk;
            if (paced || m_inbound.Queued() >= kMaxQueuedCommands)
                return;
            taken += static_cast<size_t>(count);
            continue;
        }
        m_moreWaiting = false;
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // EIO (or end of file): the console closed the slave or the connection.
        LineClosed(now);
        return;
    }
}

void SimLoop::LineClosed(Clock::time_point now) {
    if (!m_lineOpen)
        return;
    m_lineOpen = false;
    m_unheardNoted = false;
    m_blocked = false;
    m_inbound.DropPartial();
    m_outbound.Clear();
    m_log.Note(now, "line closed");
    if (m_line.ConsoleLeft())
        LineOpened(now);
}

void SimLoop::LineOpened(Clock::time_point now) {
    m_lineOpen = true;
    m_log.Note(now, "line opened");
}

void SimLoop::HandleSignals(Clock::time_point now) {
    signalfd_siginfo info{};
    while (::read(m_signalFd, &info, sizeof info) == sizeof info) {
        if (info.ssi_signo == SIGUSR1) {
            m_silent = !m_silent;
            m_log.Note(now, m_silent ? "silent on" : "silent off");
        } else {
            m_stop = true;
        }
    }
}

void SimLoop::SaveState() {
    if (m_options.statePath.isEmpty() || (!m_stateDirty && QFile::exists(m_options.statePath)))
        return;
    QString error;
    if (!::SaveState(m_options.statePath, m_receiver.State(), &error))
        PrintError(error);
    m_stateDirty = false;
}

std::optional<SimLoop::Clock::time_point> SimLoop::NextDeadline(Clock::time_point now) const {
    std::optional<Clock::time_point> deadline;
    // While the last bytes read cross the wire, come back when it is free.
    // Judged at the `now` MayRead was asked at: had the wire come free since,
    // the loop would wait without reading and without a deadline.
    std::optional<Clock::time_point> readAgain;
    if (m_lineOpen && m_options.baud > 0 && m_inbound.WireFree() > now)
        readAgain = m_inbound.WireFree();
    for (const std::optional<Clock::time_point>& candidate :
         {m_inbound.NextDue(), m_outputWake, m_nextFrontPanel, m_saveDue, readAgain}) {
        if (candidate && (!deadline || *candidate < *deadline))
            deadline = candidate;
    }
    return deadline;
}
