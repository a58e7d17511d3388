#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>

class SerialPort;

// Frames commands to the receiver, puts them on the wire one at a time and
// matches its answers.
//
// Commands wait in one queue, first in first out. A command that expects an
// answer (a query, a set, a restored line) is the only one on the wire until
// a line whose key equals its key (ignoring case) arrives, or until 1000 ms
// have passed ("Timeout"); commands that expect none (steps, terminal lines,
// tuner buttons) are written in their place in the queue. Each command's
// `done` runs exactly once with its outcome: later, from the event loop, or
// before Submit returns when the outcome is known at once (a closed port, a
// write with nothing ahead of it). Nothing here waits.
//
// A set whose key already has a set waiting in the queue (not yet on the
// wire) takes that set's place: a name typed key by key on a slow link goes
// out as at most two sets, the second with the final text. Both callers then
// hear the outcome of the one that went.
//
// Every received line first goes to the terminal hook, as it came; it then
// answers the command on the wire, or goes to the status-line hook, and
// finally restarts the keep-alive hook. The answer of a set is also a status
// line: the value the receiver says it kept is the one the store and the pages
// show. Answers and status values are one line (OneLineValue), otherwise the
// receiver's bytes; whoever shows them on a terminal or in a message escapes
// control bytes there.
class CommandChannel : public QObject {
    Q_OBJECT

public:
    static constexpr int kReplyTimeoutMs = 1000;
    static constexpr int kMaxKeyLength = 128;
    static inline const QByteArray kTimeout = QByteArrayLiteral("Timeout");

    enum class Outcome {
        Answered,  // `line` holds the answer as key=value
        Written,   // a command that expects no answer is on its way
        Timeout,   // nothing answered within 1000 ms
        Closed,    // the port is closed (or was closed before the command went)
        Aborted,   // Abort ended it, or its key is too long to send
    };
    struct Reply {
        Outcome outcome = Outcome::Closed;
        QByteArray line;
        // The answering line, "Timeout", or "" when nothing could answer.
        QByteArray Text() const;
        bool Answered() const { return outcome == Outcome::Answered; }
    };
    using Done = std::function<void(const Reply& reply)>;

    enum class Kind {
        Query,    // answered; the answer goes to `done` only
        Command,  // answered; the answer is also a status line
        Set,      // a Command that replaces a queued set of the same key
        Write,    // not answered: done once written
    };

    using LineHook = std::function<void(const QByteArray& line)>;
    using StatusHook =
        std::function<void(const QByteArray& key, const QByteArray& value, const QByteArray& line)>;
    using KeepAliveHook = std::function<void()>;

    explicit CommandChannel(SerialPort& port, QObject* parent = nullptr);
    ~CommandChannel() override;

    // Queues the command body (the text between the framing carriage
    // returns). False, with `done` run at once with Closed, when the port is
    // closed. `written`, when given, runs as the command goes on the wire.
    bool Submit(Kind kind, const QByteArray& body, Done done = {},
                std::function<void()> written = {});

    // The verbs the rest of the program speaks in; only the channel frames a
    // command. The receiver takes a command as CR text CR: the leading CR ends
    // whatever a previous, unfinished line left in its buffer.
    bool Query(const QByteArray& key, Done done = {}) {
        return Submit(Kind::Query, key + '?', std::move(done));
    }
    bool Set(const QByteArray& key, const QByteArray& value, Done done = {}) {
        return Submit(Kind::Set, key + '=' + value, std::move(done));
    }
    bool Step(const QByteArray& key, bool up, Done done = {}) {
        return Submit(Kind::Write, key + (up ? '+' : '-'), std::move(done));
    }
    // A line as typed (terminal, tuner buttons): sent whole, not waited for.
    bool SendLine(const QByteArray& text, Done done = {}) {
        return Submit(Kind::Write, text, std::move(done));
    }
    // A stored line (restore): sent whole, its answer awaited.
    bool RequestLine(const QByteArray& text, Done done = {}) {
        return Submit(Kind::Command, text, std::move(done));
    }
    static QByteArray Framed(const QByteArray& text) { return '\r' + text + '\r'; }

    // Ends every queued command and the one on the wire at once, each with
    // `outcome`; closing the port does it with Closed.
    void Abort(Outcome outcome = Outcome::Aborted);

    // The key of a command as the reply test compares it: the text before the
    // first "=", "?", "+" or "-", trimmed and in capitals; empty when the
    // command has none of them. Untruncated, so callers can check the limit.
    static QByteArray KeyOf(const QByteArray& command);
    static bool KeyFits(const QByteArray& command) {
        return KeyOf(command).size() <= kMaxKeyLength;
    }
    // The reply test: a line answers when its key, in capitals, is the waiting
    // key. A longer key that begins with it (Preset1.ListeningMode.DTS while
    // Preset1.ListeningMode waits) is a front-panel line, not the answer. An
    // empty waiting key is answered by nothing.
    static bool Answers(const QByteArray& upperKey, const QByteArray& waitingKey);

    // Nothing queued and nothing on the wire.
    bool IsIdle() const { return m_queue.empty() && !m_onWire; }
    std::size_t QueuedCount() const { return m_queue.size(); }
    bool IsOpen() const;

    void SetTerminalHook(LineHook hook) { m_terminalHook = std::move(hook); }
    void SetStatusHook(StatusHook hook) { m_statusHook = std::move(hook); }
    void SetKeepAliveHook(KeepAliveHook hook) { m_keepAliveHook = std::move(hook); }

    SerialPort& Port() { return m_port; }

public slots:
    void OnReceiverLine(const QByteArray& line);

private:
    struct Pending {
        Kind kind = Kind::Write;
        QByteArray body;
        QByteArray key;  // in capitals, as the reply test compares it
        Done done;
        std::function<void()> written;
    };

    // Writes what may go now; re-entered from a `done` only through the queue.
    void Pump();
    // Ends the command on the wire with this reply and moves on.
    void Finish(Reply reply);
    // Runs a command's `done`; false when the channel was destroyed from it.
    bool Complete(Done& done, const Reply& reply);

    SerialPort& m_port;
    std::deque<Pending> m_queue;
    std::optional<Pending> m_onWire;
    QTimer m_deadline;
    bool m_pumping = false;
    // Cleared by the destructor, so a `done` that destroyed the channel stops the loop.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    LineHook m_terminalHook;
    StatusHook m_statusHook;
    KeepAliveHook m_keepAliveHook;
};
