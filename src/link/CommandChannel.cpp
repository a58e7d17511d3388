#include "CommandChannel.h"

#include "ByteText.h"
#include "SerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace {

// The four characters that end the key part of a command: query, set, step up,
// step down.
constexpr char kKeyTerminators[] = {'=', '?', '+', '-'};

constexpr qint64 kNsPerMs = 1'000'000;

bool IsKeyTerminator(char c) {
    for (char terminator : kKeyTerminators) {
        if (c == terminator)
            return true;
    }
    return false;
}

}  // namespace

CommandChannel::CommandChannel(SerialPort& port, QObject* parent) : QObject(parent), m_port(port) {
    connect(&m_port, &SerialPort::LineReceived, this, &CommandChannel::OnReceiverLine);
    connect(&m_port, &SerialPort::Closed, this, &CommandChannel::OnPortClosed);
}

CommandChannel::~CommandChannel() = default;

bool CommandChannel::IsOpen() const {
    return m_port.IsOpen();
}

bool CommandChannel::Send(const QByteArray& command) {
    if (!m_port.IsOpen())
        return false;
    return m_port.Write(command);
}

QByteArray CommandChannel::KeyOf(const QByteArray& command) {
    for (qsizetype i = 0; i < command.size(); ++i) {
        if (IsKeyTerminator(command[i]))
            return UpperAscii(TrimmedBytes(command.left(i)));
    }
    return {};
}

bool CommandChannel::Answers(const QByteArray& upperKey, const QByteArray& waitingKey) {
    return !waitingKey.isEmpty() && upperKey == waitingKey;
}

QByteArray CommandChannel::Request(const QByteArray& command) {
    if (!m_port.IsOpen())
        return {};
    WaitFrame frame;
    frame.key = KeyOf(command);
    // Only a line restored from a file can carry a key this long; the receiver
    // has none, so the command is refused rather than sent with a cut key.
    if (frame.key.size() > kMaxKeyLength)
        return {};

    QElapsedTimer clock;
    clock.start();
    m_port.SetReplyAwaited(true);
    if (!m_port.Write(command)) {
        m_port.SetReplyAwaited(!m_frames.empty());
        return {};
    }

    QEventLoop loop;
    QTimer deadline;
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    frame.loop = &loop;
    m_frames.push_back(&frame);

    // OnReceiverLine quits the loop as soon as the frame's reply fills, so the
    // answer is taken the moment it is delivered; the timer only ends the wait
    // for a receiver that stays silent. A nested Request may hold this loop
    // below its own; this one then resumes when that one returns.
    QByteArray result;
    for (;;) {
        if (!frame.reply.isEmpty()) {
            result = frame.reply;
            break;
        }
        if (frame.portClosed)
            break;
        const qint64 elapsedNs = clock.nsecsElapsed();
        const qint64 limitNs = qint64{kReplyTimeoutMs} * kNsPerMs;
        if (elapsedNs > limitNs) {
            result = HeldBackAnswer(frame);
            if (result.isEmpty())
                result = kTimeout;
            break;
        }
        deadline.start(static_cast<int>((limitNs - elapsedNs) / kNsPerMs + 1));
        loop.exec();
    }
    m_frames.erase(std::find(m_frames.begin(), m_frames.end(), &frame));
    if (m_frames.empty()) {
        m_port.SetReplyAwaited(false);
        emit WaitsEnded();
    }
    return result;
}

CommandChannel::WaitFrame* CommandChannel::FrameAnsweredBy(const QByteArray& upperKey) const {
    for (WaitFrame* frame : m_frames) {
        if (frame->reply.isEmpty() && !frame->portClosed && Answers(upperKey, frame->key))
            return frame;
    }
    return nullptr;
}

QByteArray CommandChannel::HeldBackAnswer(const WaitFrame& frame) const {
    for (const QByteArray& line : m_port.HeldBackLines()) {
        const qsizetype equals = line.indexOf('=');
        // Escaped as OnReceiverLine escapes a value that is delivered.
        if (equals >= 0 && Answers(UpperAscii(line.left(equals)), frame.key))
            return line.left(equals + 1) + EscapedControlBytes(line.mid(equals + 1), true);
    }
    return {};
}

void CommandChannel::OnPortClosed() {
    for (WaitFrame* frame : m_frames) {
        frame->portClosed = true;
        frame->loop->quit();
    }
}

void CommandChannel::PumpMessages(unsigned milliseconds) {
    if (milliseconds == 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(std::chrono::milliseconds(milliseconds), Qt::PreciseTimer, &loop,
                       &QEventLoop::quit);
    loop.exec();
}

void CommandChannel::OnReceiverLine(const QByteArray& line) {
    // The owner's hook decides whether the Terminal tab is current.
    if (m_terminalHook)
        m_terminalHook(line);

    const qsizetype equals = line.indexOf('=');
    if (equals >= 0) {
        const QByteArray key = line.left(equals);
        const QByteArray received = line.mid(equals + 1);
        // A value is one line of text. A line feed (or another control byte)
        // in it would become a line of its own in a saved file or on standard
        // output, and a setting of its own when that file is restored; it is
        // kept, escaped, so the odd value still shows.
        const QByteArray value = EscapedControlBytes(received, true);
        const bool escaped = value.size() != received.size();
        // Most lines arrive with nothing waiting: no key in capitals needed then.
        WaitFrame* frame = m_frames.empty() ? nullptr : FrameAnsweredBy(UpperAscii(key));
        if (frame != nullptr) {
            frame->reply = key + '=' + value;
            frame->loop->quit();
        } else if (m_statusHook) {
            m_statusHook(key, value, escaped ? key + '=' + value : line);
        }
    }

    if (m_keepAliveHook)
        m_keepAliveHook();
}
