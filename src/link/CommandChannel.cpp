#include "CommandChannel.h"

#include "ByteText.h"
#include "SerialPort.h"

#include <utility>

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

bool IsSet(CommandChannel::Kind kind) {
    return kind == CommandChannel::Kind::Set;
}

// `done`, called only while the owner's context lives.
CommandChannel::Done Guarded(CommandChannel::Done done, const CommandChannel::Owner& owner) {
    return [done = std::move(done), context = owner.context,
            hasContext = owner.hasContext](const CommandChannel::Reply& reply) {
        if (done && (!hasContext || context))
            done(reply);
    };
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
    connect(&m_port, &SerialPort::Closed, this, [this] { AbortAll(Outcome::Closed); });
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        ++m_unansweredInARow;
        Finish({Outcome::Timeout, {}});
        emit Unanswered();
    });
}

CommandChannel::~CommandChannel() {
    Shutdown();
}

// Teardown is the one place completions run at once: a suspended operation
// must end now, not leak. What they queue anew ends the same way.
bool CommandChannel::Shutdown() {
    m_shutDown = true;
    AbortAll(Outcome::Aborted);
    const bool any = !m_deliveries.empty();
    while (!m_deliveries.empty())
        DeliverNext();
    return any;
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

QByteArray CommandChannel::Unsendable(const QByteArray& line) {
    static constexpr std::pair<char, const char*> kBreaking[] = {
        {'\r', "it holds a carriage return"},
        {'\n', "it holds a line feed"},
        {'\0', "it holds a NUL byte"},
    };
    for (const auto& [byte, reason] : kBreaking) {
        if (line.contains(byte))
            return reason;
    }
    return KeyFits(line) ? QByteArray() : QByteArrayLiteral("its key is too long");
}

bool CommandChannel::Answers(const QByteArray& upperKey, const QByteArray& waitingKey) {
    return !waitingKey.isEmpty() && upperKey == waitingKey;
}

bool CommandChannel::Submit(Request request, Done done) {
    Pending pending{std::move(request), {}, std::move(done)};
    pending.key = KeyOf(pending.request.body);
    if (m_shutDown || !m_port.IsOpen()) {
        Complete(pending, {m_shutDown ? Outcome::Aborted : Outcome::Closed, {}});
        return false;
    }
    if (IsSet(pending.request.kind)) {
        // The newer value wins; the queued set keeps its place in the line.
        // Sets of different operations stay apart, so a stop ends only its own.
        for (Pending& queued : m_queue) {
            if (!IsSet(queued.request.kind) || queued.key != pending.key ||
                queued.request.owner.stop != pending.request.owner.stop)
                continue;
            queued.request.body = pending.request.body;
            // Each caller hears the outcome while its own context lives.
            queued.done = [first = Guarded(std::move(queued.done), queued.request.owner),
                           second = Guarded(std::move(pending.done), pending.request.owner)](
                              const Reply& reply) {
                first(reply);
                second(reply);
            };
            queued.request.owner.context.clear();
            queued.request.owner.hasContext = false;
            return true;
        }
    }
    if (pending.request.place == Place::Front)
        m_queue.push_front(std::move(pending));
    else
        m_queue.push_back(std::move(pending));
    Pump();
    return true;
}

void CommandChannel::Pump() {
    while (!m_onWire && !m_queue.empty()) {
        Pending next = std::move(m_queue.front());
        m_queue.pop_front();
        // Only a line restored from a file can carry a key this long; the
        // receiver has none, so it is refused rather than sent with a cut key.
        // A command of a stopped operation is not sent either.
        if (next.key.size() > kMaxKeyLength || next.request.owner.stop.stop_requested()) {
            Complete(next, {Outcome::Aborted, {}});
            continue;
        }
        const bool answered = ExpectsAnswer(next.request.kind) && !next.key.isEmpty();
        // Told before the write: the worker must not rest while the answer comes.
        if (answered)
            m_port.SetReplyAwaited(true);
        // Posted before the write: the answer may be read and posted by the
        // worker before this thread gets past the write.
        if (next.request.written)
            Post(std::move(next.request.written), next.request.owner);
        if (!m_port.Write(Framed(next.request.body))) {
            Complete(next, {Outcome::Closed, {}});
            continue;
        }
        if (!answered) {
            // Nothing could answer it: done once written.
            Complete(next, {Outcome::Written, {}});
            continue;
        }
        const int timeoutMs = next.request.timeoutMs > 0 ? next.request.timeoutMs : kReplyTimeoutMs;
        m_onWire = std::move(next);
        m_deadline.start(timeoutMs);
    }
    if (!m_onWire)
        m_port.SetReplyAwaited(false);
}

void CommandChannel::Finish(Reply reply) {
    if (!m_onWire)
        return;
    m_deadline.stop();
    Complete(*m_onWire, reply);
    m_onWire.reset();
    Pump();
}

void CommandChannel::Complete(Pending& pending, const Reply& reply) {
    if (!pending.done)
        return;
    Post([done = std::move(pending.done), reply] { done(reply); }, pending.request.owner);
}

void CommandChannel::Post(std::function<void()> call, const Owner& owner) {
    m_deliveries.push_back({std::move(call), owner.context, owner.hasContext});
    QMetaObject::invokeMethod(this, &CommandChannel::DeliverNext, Qt::QueuedConnection);
}

// One completion per pass of the event loop: a completion that destroys the
// channel finds nothing of it used afterwards, and the rest end in teardown.
void CommandChannel::DeliverNext() {
    if (m_deliveries.empty())
        return;
    Delivery delivery = std::move(m_deliveries.front());
    m_deliveries.pop_front();
    if (delivery.hasContext && !delivery.context)
        return;
    delivery.call();
}

void CommandChannel::EndEvery(std::deque<Pending>& ended, Outcome outcome) {
    for (Pending& pending : ended)
        Complete(pending, {outcome, {}});
}

void CommandChannel::Abort(const std::stop_token& owner) {
    if (!owner.stop_possible())
        return;
    std::deque<Pending> ended;
    std::deque<Pending> kept;
    for (Pending& pending : m_queue)
        (pending.request.owner.stop == owner ? ended : kept).push_back(std::move(pending));
    m_queue.swap(kept);
    // The command on the wire is given up: a late answer to it is then a
    // status line, as any line nobody waits for.
    if (m_onWire && m_onWire->request.owner.stop == owner) {
        m_deadline.stop();
        ended.push_front(std::move(*std::exchange(m_onWire, std::nullopt)));
    }
    EndEvery(ended, Outcome::Aborted);
    Pump();
}

void CommandChannel::AbortAll(Outcome outcome) {
    m_deadline.stop();
    m_port.SetReplyAwaited(false);
    std::deque<Pending> ended;
    ended.swap(m_queue);
    if (m_onWire)
        ended.push_front(std::move(*std::exchange(m_onWire, std::nullopt)));
    EndEvery(ended, outcome);
}

void CommandChannel::OnReceiverLine(const QByteArray& line) {
    if (m_keepAliveHook)
        m_keepAliveHook();

    ReceivedLine received{line, {}, {}, {}, true};
    const qsizetype equals = line.indexOf('=');
    if (equals >= 0) {
        // "Main.Volume =-20" answers "Main.Volume?" as well.
        const QByteArray rawKey = line.left(equals);
        received.key = rawKey.endsWith(' ') ? TrimmedBytes(rawKey) : rawKey;
        const QByteArray value = line.mid(equals + 1);
        received.value = OneLineValue(value);
        const bool kept = received.key.size() == rawKey.size() && received.value == value;
        received.answer = kept ? line : received.key + '=' + received.value;
        // Most lines arrive with nothing on the wire: no key in capitals needed then.
        if (m_onWire && Answers(UpperAscii(received.key), m_onWire->key)) {
            received.status = m_onWire->request.kind != Kind::Query;
            m_unansweredInARow = 0;
            Finish({Outcome::Answered, received.answer});
        }
    }
    // Last: the owner may be destroyed from here.
    if (m_lineHook)
        m_lineHook(received);
}
