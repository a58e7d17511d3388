#include "CommandChannel.h"

#include "ByteText.h"
#include "SerialPort.h"

#include <algorithm>
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
    connect(&m_deadline, &QTimer::timeout, this, &CommandChannel::OnDeadline);
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

bool CommandChannel::MayGoNow(const Pending& next) const {
    if (m_onWire.empty())
        return true;
    if (!next.request.pipelined || next.key.isEmpty())
        return false;
    // Two commands of one key on the wire could not tell their answers apart.
    return std::all_of(m_onWire.cbegin(), m_onWire.cend(), [&next](const Pending& out) {
        return out.request.pipelined && out.key != next.key;
    });
}

void CommandChannel::Pump() {
    while (!m_queue.empty() && MayGoNow(m_queue.front())) {
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
        next.deadline.setRemainingTime(timeoutMs, Qt::PreciseTimer);
        m_onWire.push_back(std::move(next));
    }
    if (m_onWire.empty())
        m_port.SetReplyAwaited(false);
    StartDeadlineTimer();
}

// Each command on the wire has its own deadline; the timer waits for the
// earliest.
void CommandChannel::StartDeadlineTimer() {
    if (m_onWire.empty()) {
        m_deadline.stop();
        return;
    }
    qint64 earliestNs = m_onWire.front().deadline.remainingTimeNSecs();
    for (const Pending& out : m_onWire)
        earliestNs = std::min(earliestNs, out.deadline.remainingTimeNSecs());
    // Rounded up, so that the deadline has passed when the timer fires.
    constexpr qint64 kNsPerMs = 1'000'000;
    m_deadline.start(static_cast<int>((std::max<qint64>(earliestNs, 0) + kNsPerMs - 1) / kNsPerMs));
}

void CommandChannel::OnDeadline() {
    // Those whose time is up, in the order they went out.
    int unanswered = 0;
    for (std::size_t i = 0; i < m_onWire.size();) {
        if (!m_onWire[i].deadline.hasExpired()) {
            ++i;
            continue;
        }
        Pending ended = std::move(m_onWire[i]);
        m_onWire.erase(m_onWire.begin() + static_cast<std::ptrdiff_t>(i));
        Complete(ended, {Outcome::Timeout, {}, ended.troubled});
        ++unanswered;
    }
    m_unansweredInARow += unanswered;
    Pump();
    for (int i = 0; i < unanswered; ++i)
        emit Unanswered();
}

void CommandChannel::Finish(std::size_t index, Reply reply) {
    if (index >= m_onWire.size())
        return;
    Pending ended = std::move(m_onWire[index]);
    m_onWire.erase(m_onWire.begin() + static_cast<std::ptrdiff_t>(index));
    reply.troubled = reply.troubled || ended.troubled;
    Complete(ended, reply);
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
    // A command on the wire is given up: a late answer to it is then a
    // status line, as any line nobody waits for.
    std::deque<Pending> stillOut;
    for (Pending& out : m_onWire)
        (out.request.owner.stop == owner ? ended : stillOut).push_back(std::move(out));
    m_onWire.swap(stillOut);
    EndEvery(ended, Outcome::Aborted);
    Pump();
}

void CommandChannel::AbortAll(Outcome outcome) {
    m_deadline.stop();
    m_port.SetReplyAwaited(false);
    std::deque<Pending> ended;
    ended.swap(m_onWire);
    for (Pending& queued : m_queue)
        ended.push_back(std::move(queued));
    m_queue.clear();
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
        if (!m_onWire.empty()) {
            const QByteArray upperKey = UpperAscii(received.key);
            for (std::size_t i = 0; i < m_onWire.size(); ++i) {
                if (!Answers(upperKey, m_onWire[i].key))
                    continue;
                received.status = m_onWire[i].request.kind != Kind::Query;
                m_unansweredInARow = 0;
                // An answer that overtook an earlier command's.
                Finish(i, {Outcome::Answered, received.answer, i > 0});
                break;
            }
        }
    } else if (!TrimmedBytes(line).isEmpty()) {
        // A line that is no key=value while commands share the wire may be two
        // answers run together or a command the receiver took garbled.
        for (Pending& out : m_onWire)
            out.troubled = out.troubled || out.request.pipelined;
    }
    // Last: the owner may be destroyed from here.
    if (m_lineHook)
        m_lineHook(received);
}
