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
// loop running, until a line whose key equals or begins with the command's key
// (ignoring case) arrives, or until more than 1000 ms have passed ("Timeout").
// There is one pending key and one reply slot: a Request made while another
// waits replaces them.
//
// Every received line first goes to the terminal hook, then either fills the
// reply slot or goes to the status-line hook, and finally restarts the
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

    bool Send(const QByteArray& command);
    // The answering line re-formed as key=value, "Timeout", or "" when the port
    // is closed, the write is refused or the key part is longer than 128 bytes.
    QByteArray Request(const QByteArray& command);
    // Runs the event loop for the given time; with 0, handles what is pending.
    static void PumpMessages(unsigned milliseconds);

    // The key of a command as the reply test compares it: the text before the
    // first "=", "?", "+" or "-", trimmed and in capitals; empty when the
    // command has none of them. Untruncated, so callers can check the limit.
    static QByteArray KeyOf(const QByteArray& command);
    static bool KeyFits(const QByteArray& command) {
        return KeyOf(command).size() <= kMaxKeyLength;
    }

    bool IsWaiting() const { return !m_pendingKey.isEmpty(); }
    QByteArray PendingKey() const { return m_pendingKey; }

    void SetTerminalHook(LineHook hook) { m_terminalHook = std::move(hook); }
    void SetStatusHook(StatusHook hook) { m_statusHook = std::move(hook); }
    void SetKeepAliveHook(KeepAliveHook hook) { m_keepAliveHook = std::move(hook); }

    SerialPort& Port() { return m_port; }

public slots:
    void OnReceiverLine(const QByteArray& line);

private:
    // Writes the command and waits for its answer; Request wraps it with the
    // hand-back to an outer waiting Request.
    QByteArray Exchange(const QByteArray& command);

    SerialPort& m_port;
    QByteArray m_pendingKey;
    QByteArray m_replySlot;
    std::vector<QEventLoop*> m_waits;
    LineHook m_terminalHook;
    StatusHook m_statusHook;
    KeepAliveHook m_keepAliveHook;
};
