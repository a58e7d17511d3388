#pragma once

#include <QByteArray>
#include <QObject>

#include <functional>
#include <vector>

class QEventLoop;
class SerialPort;

// Frames commands to the receiver and matches its answers.
//
// Send writes and returns at once. Request writes and waits, with the event
// loop running, until a line whose key equals the command's key (ignoring
// case) arrives, or until more than 1000 ms have passed ("Timeout").
// Requests nest: one started while another waits (a user change during the
// connect-time read, a keep-alive poll) gets its own wait frame, and every
// received line is matched against all waiting frames, so each Request gets its
// own answer. Closing the port ends every wait at once with "". An answer that
// has arrived but waits behind a line handler still running further down (one
// that opened an event loop of its own) is taken, not counted as a time-out.
//
// Every received line first goes to the terminal hook, then either answers a
// waiting Request or goes to the status-line hook, and finally restarts the
// keep-alive hook. The channel connects itself to the port's LineReceived.
class CommandChannel : public QObject {
    Q_OBJECT

public:
    static constexpr int kReplyTimeoutMs = 1000;
    static constexpr int kMaxKeyLength = 128;
    static inline const QByteArray kTimeout = QByteArrayLiteral("Timeout");

    using LineHook = std::function<void(const QByteArray& line)>;
    using StatusHook =
        std::function<void(const QByteArray& key, const QByteArray& value, const QByteArray& line)>;
    using KeepAliveHook = std::function<void()>;

    explicit CommandChannel(SerialPort& port, QObject* parent = nullptr);
    ~CommandChannel() override;

    // Send and Request take the command as it goes on the wire, framing
    // included; everything outside the link speaks through the verbs below.
    bool Send(const QByteArray& command);
    // The answering line re-formed as key=value, "Timeout", or "" when the port
    // is closed, the write is refused or the key part is longer than 128 bytes.
    QByteArray Request(const QByteArray& command);
    // The verbs the rest of the program speaks in; only they frame a command.
    // The receiver takes a command as CR text CR: the leading CR ends whatever
    // a previous, unfinished line left in its buffer. Query and Set wait for
    // the answer as Request does; Step and SendLine do not wait.
    QByteArray Query(const QByteArray& key) { return Request(Framed(key + '?')); }
    QByteArray Set(const QByteArray& key, const QByteArray& value) {
        return Request(Framed(key + '=' + value));
    }
    bool Step(const QByteArray& key, bool up) { return Send(Framed(key + (up ? '+' : '-'))); }
    // A line as typed or stored (terminal, restore): sent whole, framed once.
    bool SendLine(const QByteArray& text) { return Send(Framed(text)); }
    QByteArray RequestLine(const QByteArray& text) { return Request(Framed(text)); }
    static QByteArray Framed(const QByteArray& text) { return '\r' + text + '\r'; }

    // Runs the event loop for the given time; with 0, handles what is pending.
    static void PumpMessages(unsigned milliseconds);

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

    bool IsWaiting() const { return !m_frames.empty(); }
    bool IsOpen() const;

    void SetTerminalHook(LineHook hook) { m_terminalHook = std::move(hook); }
    void SetStatusHook(StatusHook hook) { m_statusHook = std::move(hook); }
    void SetKeepAliveHook(KeepAliveHook hook) { m_keepAliveHook = std::move(hook); }

    SerialPort& Port() { return m_port; }

public slots:
    void OnReceiverLine(const QByteArray& line);

signals:
    // The last waiting Request has returned.
    void WaitsEnded();

private:
    // One waiting Request: the key it waits for (in capitals; empty for a
    // command without an operator, which nothing answers) and its reply slot.
    struct WaitFrame {
        QByteArray key;
        QByteArray reply;
        bool portClosed = false;
        QEventLoop* loop = nullptr;
    };

    // The frame a line with this key answers: the oldest Request first, as the
    // receiver answers in order. Null when none waits for it.
    WaitFrame* FrameAnsweredBy(const QByteArray& upperKey) const;
    // At the deadline: an answer that has arrived but is held back behind a
    // handler still running further down the stack is no time-out.
    QByteArray HeldBackAnswer(const WaitFrame& frame) const;
    void OnPortClosed();

    SerialPort& m_port;
    std::vector<WaitFrame*> m_frames;  // oldest first
    LineHook m_terminalHook;
    StatusHook m_statusHook;
    KeepAliveHook m_keepAliveHook;
};
