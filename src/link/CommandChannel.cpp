#include "CommandChannel.h"

#include "ByteText.h"
#include "SerialPort.h"

namespace {

// The four characters that end the key part of a command: query, set, step up,
// step down.
constexpr char kKeyTerminators[] = {'=', '?', '+', '-'};

bool IsKeyTerminator(char c) {
    for (char terminator : kKeyTerminators) {
        if (c == terminator)
            return true;
    }
    return false;
}

bool ExpectsAnswer(CommandChannel::Kind kind) {
    return kind != CommandChannel::Kind::Write;
}

}  // namespace

QByteArray CommandChannel::Reply::Text() const {
    switch (outcome) {
        case Outcome::Answered:
            return line;
        case Outcome::Timeout:
            return kTimeout;
        case Outcome::Written:
        case Outcome::Closed:
        case Outcome::Aborted:
            break;
    }
    return {};
}

CommandChannel::CommandChannel(SerialPort& port, QObject* parent) : QObject(parent), m_port(port) {
    connect(&m_port, &SerialPort::LineReceived, this, &CommandChannel::OnReceiverLine);
    connect(&m_port, &SerialPort::Closed, this, [this] { Abort(Outcome::Closed); });
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_deadline, &QTimer::timeout, this, [this] { Finish({Outcome::Timeout, {}}); });
}

CommandChannel::~CommandChannel() {
    // What still waits hears of it: a suspended operation must end, not leak.
    Abort(Outcome::Aborted);
    *m_alive = false;
}

bool CommandChannel::IsOpen() const {
    return m_port.IsOpen();
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

bool CommandChannel::Submit(Kind kind, const QByteArray& body, Done done,
                            std::function<void()> written) {
    if (!m_port.IsOpen()) {
        Complete(done, {Outcome::Closed, {}});
        return false;
    }
    Pending pending{kind, body, KeyOf(body), std::move(done), std::move(written)};
    if (kind == Kind::Set) {
        // The newer value wins; the queued set keeps its place in the line.
        for (Pending& queued : m_queue) {
            if (queued.kind == Kind::Set && queued.key == pending.key) {
                queued.body = pending.body;
                if (pending.done) {
                    queued.done = [first = std::move(queued.done),
                                   second = std::move(pending.done)](const Reply& reply) {
                        if (first)
                            first(reply);
                        second(reply);
                    };
                }
                return true;
            }
        }
    }
    m_queue.push_back(std::move(pending));
    Pump();
    return true;
}

void CommandChannel::Pump() {
    if (m_pumping)
        return;  // the loop further down the stack takes it
    m_pumping = true;
    const std::shared_ptr<bool> alive = m_alive;
    while (!m_onWire && !m_queue.empty()) {
        Pending next = std::move(m_queue.front());
        m_queue.pop_front();
        // Only a line restored from a file can carry a key this long; the
        // receiver has none, so it is refused rather than sent with a cut key.
        if (next.key.size() > kMaxKeyLength) {
            if (!Complete(next.done, {Outcome::Aborted, {}}))
                return;
            continue;
        }
        const bool answered = ExpectsAnswer(next.kind) && !next.key.isEmpty();
        // Told before the write: the worker must not rest while the answer comes.
        if (answered)
            m_port.SetReplyAwaited(true);
        if (!m_port.Write(Framed(next.body))) {
            if (!Complete(next.done, {Outcome::Closed, {}}))
                return;
            continue;
        }
        if (next.written) {
            next.written();
            if (!*alive)
                return;
        }
        if (!answered) {
            // Nothing could answer it: done once written.
            if (!Complete(next.done, {Outcome::Written, {}}))
                return;
            continue;
        }
        m_onWire = std::move(next);
        m_deadline.start(kReplyTimeoutMs);
    }
    if (!m_onWire)
        m_port.SetReplyAwaited(false);
    m_pumping = false;
}

void CommandChannel::Finish(Reply reply) {
    if (!m_onWire)
        return;
    m_deadline.stop();
    Done done = std::move(m_onWire->done);
    m_onWire.reset();
    if (Complete(done, reply))
        Pump();
}

bool CommandChannel::Complete(Done& done, const Reply& reply) {
    if (!done)
        return true;
    const std::shared_ptr<bool> alive = m_alive;
    Done call = std::move(done);
    call(reply);
    return *alive;
}

void CommandChannel::Abort(Outcome outcome) {
    m_deadline.stop();
    m_port.SetReplyAwaited(false);
    std::deque<Pending> ended;
    ended.swap(m_queue);
    if (m_onWire) {
        ended.push_front(std::move(*m_onWire));
        m_onWire.reset();
    }
    // A `done` may queue anew (a retry on the next port); that waits for Pump.
    // Every one ended hears of it, even after a `done` destroyed the channel.
    const std::shared_ptr<bool> alive = m_alive;
    const bool wasPumping = m_pumping;
    m_pumping = true;
    for (Pending& pending : ended) {
        if (Done call = std::move(pending.done))
            call({outcome, {}});
    }
    if (!*alive)
        return;
    m_pumping = wasPumping;
    Pump();
}

void CommandChannel::OnReceiverLine(const QByteArray& line) {
    // A hook or a `done` may destroy the channel (a window closed from it).
    const std::shared_ptr<bool> alive = m_alive;
    // The owner's hook decides whether the Terminal tab is current.
    if (m_terminalHook)
        m_terminalHook(line);

    const qsizetype equals = line.indexOf('=');
    if (equals >= 0) {
        // "Main.Volume =-20" answers "Main.Volume?" as well.
        const QByteArray rawKey = line.left(equals);
        const QByteArray key = rawKey.endsWith(' ') ? TrimmedBytes(rawKey) : rawKey;
        const QByteArray received = line.mid(equals + 1);
        const QByteArray value = OneLineValue(received);
        const bool kept = key.size() == rawKey.size() && value == received;
        const QByteArray answer = kept ? line : key + '=' + value;
        // Most lines arrive with nothing on the wire: no key in capitals needed then.
        const auto answers = [&] { return m_onWire && Answers(UpperAscii(key), m_onWire->key); };
        if (answers() && m_onWire->kind == Kind::Query) {
            Finish({Outcome::Answered, answer});
        } else {
            if (m_statusHook)
                m_statusHook(key, value, answer);
            if (*alive && answers())
                Finish({Outcome::Answered, answer});
        }
        if (!*alive)
            return;
    }

    if (m_keepAliveHook)
        m_keepAliveHook();
}
