#include "CommandChannel.h"

#include "ByteText.h"
#include "SerialPort.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

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

// The reply test: a line answers when its key, in capitals, equals or begins
// with the pending key. An empty pending key is answered by nothing.
bool Answers(const QByteArray& upperKey, const QByteArray& pendingKey) {
    return !pendingKey.isEmpty() && upperKey.startsWith(pendingKey);
}

// The key of a re-formed reply "key=value", in capitals; empty for "Timeout"
// and "".
QByteArray ReplyKey(const QByteArray& reply) {
    const qsizetype equals = reply.indexOf('=');
    return equals < 0 ? QByteArray() : UpperAscii(reply.left(equals));
}

}  // namespace

CommandChannel::CommandChannel(SerialPort& port, QObject* parent) : QObject(parent), m_port(port) {
    connect(&m_port, &SerialPort::LineReceived, this, &CommandChannel::OnReceiverLine);
}

CommandChannel::~CommandChannel() = default;

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

QByteArray CommandChannel::Request(const QByteArray& command) {
    // A Request started inside another's wait takes over the one pending key
    // and reply slot. Remember the outer one's, so that it is not handed the
    // answer to a different key.
    const bool nested = !m_waits.empty();
    const QByteArray outerKey = m_pendingKey;
    const QByteArray outerReply = m_replySlot;

    m_pendingKey.clear();
    m_replySlot.clear();
    QByteArray result = Exchange(command);

    if (nested) {
        // The outer one keeps its own key. It takes this answer only if the
        // answer fits its key too; otherwise it waits on within its own
        // 1000 ms (an answer of its own that came during this wait went to the
        // status hook).
        m_pendingKey = outerKey;
        if (!outerReply.isEmpty()) {
            m_replySlot = outerReply;
        } else if (Answers(ReplyKey(result), outerKey)) {
            m_replySlot = result;
        } else {
            m_replySlot.clear();
        }
        if (!m_replySlot.isEmpty())
            m_waits.back()->quit();
    }
    return result;
}

QByteArray CommandChannel::Exchange(const QByteArray& command) {
    if (!m_port.IsOpen())
        return {};
    QByteArray key = KeyOf(command);
    // Only a line restored from a file can carry a key this long; the receiver
    // has none, so the command is refused rather than sent with a cut key.
    if (key.size() > kMaxKeyLength)
        return {};

    QElapsedTimer clock;
    clock.start();
    m_pendingKey = std::move(key);
    if (!m_port.Write(command)) {
        m_pendingKey.clear();
        return {};
    }

    QEventLoop loop;
    QTimer deadline;
    deadline.setTimerType(Qt::PreciseTimer);
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);

    // OnReceiverLine quits the loop as soon as the reply slot fills, so the
    // answer is taken the moment it is delivered; the timer only ends the wait
    // for a receiver that stays silent.
    m_waits.push_back(&loop);
    QByteArray result;
    for (;;) {
        if (!m_replySlot.isEmpty()) {
            result = m_replySlot;
            break;
        }
        const qint64 elapsedNs = clock.nsecsElapsed();
        const qint64 limitNs = qint64{kReplyTimeoutMs} * kNsPerMs;
        if (elapsedNs > limitNs) {
            result = kTimeout;
            break;
        }
        deadline.start(static_cast<int>((limitNs - elapsedNs) / kNsPerMs + 1));
        loop.exec();
    }
    m_waits.pop_back();
    m_pendingKey.clear();
    return result;
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
        const QByteArray value = line.mid(equals + 1);
        if (Answers(UpperAscii(key), m_pendingKey)) {
            m_replySlot = key + '=' + value;
            if (!m_waits.empty())
                m_waits.back()->quit();
        } else if (m_statusHook) {
            m_statusHook(key, value, line);
        }
    }

    if (m_keepAliveHook)
        m_keepAliveHook();
}
