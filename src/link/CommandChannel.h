#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>
#include <stop_token>

class SerialPort;

// Frames commands to the receiver, puts them on the wire one at a time and
// matches its answers.
//
// Commands wait in one queue, first in first out. A command that expects an
// answer (a query, a set, a restored line) is the only one on the wire until
// a line whose key equals its key (ignoring case) arrives, or until its
// deadline (1000 ms) has passed ("Timeout"); commands that expect none (steps,
// terminal lines, tuner buttons) are written in their place in the queue.
//
// Each command's `done` runs exactly once with its outcome, always from the
// event loop, one hop after the outcome was known: never inside Submit and
// never inside the code that received the answering line. Only the teardown
// of the channel completes what is left at once, so that no awaiting
// operation is left suspended.
//
// A command belongs to an Owner: an operation's stop token, whose stop ends
// that operation's commands and no other caller's, and a context object,
// without which `done` is not called (as with a Qt connection's context).
//
// A set whose key already has a set waiting in the queue (not yet on the
// wire) takes that set's place: a name typed key by key on a slow link goes
// out as at most two sets, the second with the final text. Both callers then
// hear the outcome of the one that went.
//
// A bulk transfer may keep several commands on the wire at once (`pipelined`):
// the next query travels while the answer to the one before comes back. Such
// a command goes out only behind other pipelined commands with other keys;
// everything else (a user's set, a keep-alive poll, a step) waits until the
// wire is empty, so its answer can never be mistaken. Answers are matched by
// key, whatever their order; an answer out of order, or a line that is no
// key=value while pipelined commands are out, marks the replies `troubled`, so
// that the transfer can fall back to one command at a time.
//
// Every received line first restarts the keep-alive hook, then answers the
// command on the wire with its key, and last goes to the line hook with
// whether it is a status line: anything but the answer of a query. The hook is
// called last, so that it may destroy the channel.
class CommandChannel : public QObject {
    Q_OBJECT

public:
    static constexpr int kReplyTimeoutMs = 1000;
    static constexpr int kMaxKeyLength = 128;
    static inline const QByteArray kTimeout = QByteArrayLiteral("Timeout");

    enum class Outcome {
        Answered,  // `line` holds the answer as key=value
        Written,   // a command that expects no answer is on its way
        Timeout,   // nothing answered in time
        Closed,    // the port is closed (or was closed before the command went)
        Aborted,   // its operation was stopped, the channel was torn down, or its key is too long
    };
    struct Reply {
        Outcome outcome = Outcome::Closed;
        QByteArray line;
        // The answering line, "Timeout", or "" when nothing could answer.
        QByteArray Text() const;
        bool Answered() const { return outcome == Outcome::Answered; }
        // The receiver answered out of order or sent a garbled line while this
        // pipelined command was out.
        bool troubled = false;
    };
    using Done = std::function<void(const Reply& reply)>;

    enum class Kind {
        Query,    // answered; the answer goes to `done` only
        Command,  // answered; the answer is also a status line
        Set,      // a Command that replaces a queued set of the same key
        Write,    // not answered: done once written
    };

    // Whose a command is. A default Owner ({}) is never stopped and has no context.
    struct Owner {
        std::stop_token stop;
        // With hasContext, `done` runs only while this object lives.
        QPointer<QObject> context;
        bool hasContext;

        static Owner Of(std::stop_token stop, QObject* context = nullptr) {
            return {std::move(stop), context, context != nullptr};
        }
        static Owner Within(QObject* context) { return Of({}, context); }
    };

    // Where a command goes in the queue.
    enum class Place { Back, Front };

    struct Request {
        Kind kind = Kind::Write;
        QByteArray body;
        Owner owner;
        Place place = Place::Back;
        // 0 for the usual deadline.
        int timeoutMs = 0;
        // Runs as the command goes on the wire (from the event loop, as `done`).
        std::function<void()> written;
        // May share the wire with other pipelined commands (an answered kind only).
        bool pipelined = false;
    };

    struct ReceivedLine {
        QByteArray raw;     // as it came
        QByteArray key;     // empty for a line without "="
        QByteArray value;   // one line (OneLineValue)
        QByteArray answer;  // key=value as an answer gives it
        bool status = false;
    };
    using LineHook = std::function<void(const ReceivedLine& line)>;
    using KeepAliveHook = std::function<void()>;

    explicit CommandChannel(SerialPort& port, QObject* parent = nullptr);
    ~CommandChannel() override;

    // Queues the command body (the text between the framing carriage
    // returns). False when the port is closed; `done` then hears Closed, as
    // always from the event loop.
    bool Submit(Request request, Done done = {});
    bool Submit(Kind kind, const QByteArray& body, Done done = {}, Owner owner = {}) {
        return Submit(Request{kind, body, std::move(owner), Place::Back, 0, {}, false},
                      std::move(done));
    }

    // The verbs the rest of the program speaks in; only the channel frames a
    // command. The receiver takes a command as CR text CR: the leading CR ends
    // whatever a previous, unfinished line left in its buffer.
    bool Query(const QByteArray& key, Done done = {}, Owner owner = {}) {
        return Submit(Kind::Query, key + '?', std::move(done), std::move(owner));
    }
    bool Set(const QByteArray& key, const QByteArray& value, Done done = {}, Owner owner = {}) {
        return Submit(Kind::Set, key + '=' + value, std::move(done), std::move(owner));
    }
    bool Step(const QByteArray& key, bool up, Done done = {}, Owner owner = {}) {
        return Submit(Kind::Write, key + (up ? '+' : '-'), std::move(done), std::move(owner));
    }
    // A line as typed (terminal, tuner buttons): sent whole, not waited for.
    bool SendLine(const QByteArray& text, Done done = {}, Owner owner = {}) {
        return Submit(Kind::Write, text, std::move(done), std::move(owner));
    }
    // A stored line (restore): sent whole, its answer awaited.
    bool RequestLine(const QByteArray& text, Done done = {}, Owner owner = {}) {
        return Submit(Kind::Command, text, std::move(done), std::move(owner));
    }
    static QByteArray Framed(const QByteArray& text) { return '\r' + text + '\r'; }

    // Ends the commands of the operation whose stop token this is, queued or
    // on the wire, with Aborted; every other caller's go on.
    void Abort(const std::stop_token& owner);
    // Ends every command at once with `outcome`; closing the port does it
    // with Closed.
    void AbortAll(Outcome outcome = Outcome::Aborted);
    // Teardown: ends every command and runs every completion now, so that no
    // awaiting operation is left suspended. The destructor does it too; an
    // owner calls it first when its completions use its own members. True
    // when any completion ran.
    bool Shutdown();

    // The key of a command as the reply test compares it: the text before the
    // first "=", "?", "+" or "-", trimmed and in capitals; empty when the
    // command has none of them. Untruncated, so callers can check the limit.
    static QByteArray KeyOf(const QByteArray& command);
    static bool KeyFits(const QByteArray& command) {
        return KeyOf(command).size() <= kMaxKeyLength;
    }
    // Why a stored line cannot go on the wire as it stands (a CR or LF would
    // split it into two commands, a NUL would cut it, a key over the limit
    // would be cut); empty when it can.
    static QByteArray Unsendable(const QByteArray& line);
    // The reply test: a line answers when its key, in capitals, is the waiting
    // key. A longer key that begins with it (Preset1.ListeningMode.DTS while
    // Preset1.ListeningMode waits) is a front-panel line, not the answer. An
    // empty waiting key is answered by nothing.
    static bool Answers(const QByteArray& upperKey, const QByteArray& waitingKey);

    // Nothing queued and nothing on the wire.
    bool IsIdle() const { return m_queue.empty() && m_onWire.empty(); }
    std::size_t QueuedCount() const { return m_queue.size(); }
    // Commands that expected an answer and timed out, in a row; an answer
    // from the receiver starts the count over.
    int UnansweredInARow() const { return m_unansweredInARow; }
    bool IsOpen() const;

    void SetLineHook(LineHook hook) { m_lineHook = std::move(hook); }
    void SetKeepAliveHook(KeepAliveHook hook) { m_keepAliveHook = std::move(hook); }

public slots:
    void OnReceiverLine(const QByteArray& line);

signals:
    // A command went unanswered; UnansweredInARow() says how many in a row.
    void Unanswered();

private:
    struct Pending {
        Request request;
        QByteArray key;  // in capitals, as the reply test compares it
        Done done;
        QDeadlineTimer deadline = {};  // set once on the wire
        bool troubled = false;
    };
    // A completion waiting for its hop through the event loop.
    struct Delivery {
        std::function<void()> call;
        QPointer<QObject> context;
        bool hasContext = false;
    };

    // Writes what may go now.
    void Pump();
    bool MayGoNow(const Pending& next) const;
    // Ends the command on the wire at `index` with this reply and moves on.
    void Finish(std::size_t index, Reply reply);
    void OnDeadline();
    void StartDeadlineTimer();
    // Queues `done` with its reply for the next pass of the event loop.
    void Complete(Pending& pending, const Reply& reply);
    void Post(std::function<void()> call, const Owner& owner);
    void DeliverNext();
    void EndEvery(std::deque<Pending>& ended, Outcome outcome);

    SerialPort& m_port;
    std::deque<Pending> m_queue;
    // In the order written; more than one only while pipelined.
    std::deque<Pending> m_onWire;
    std::deque<Delivery> m_deliveries;
    QTimer m_deadline;
    int m_unansweredInARow = 0;
    // After Shutdown every command ends at once.
    bool m_shutDown = false;
    LineHook m_lineHook;
    KeepAliveHook m_keepAliveHook;
};
