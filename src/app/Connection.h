#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class CommandChannel;
class ProgressSink;
class SerialPort;
class SettingsStore;
struct SessionState;

// Brings the console from no receiver to a known model on a known port, and
// notices when the receiver goes away: a poll after 500 ms without any line,
// asked twice before the connection is given up.
class Connection : public QObject {
    Q_OBJECT

public:
    static constexpr int kKeepAliveMs = 500;
    static inline const QString kAutoDetect = QStringLiteral("Auto-Detect");

    struct Hooks {
        std::function<void(const QString& text)> setStatus;
        std::function<void()> refreshAllPages;
        std::function<QString()> currentTabTitle;
        std::function<bool()> isTunerSelected;
        // COM1..COM9 or a typed name to the device path to open.
        std::function<QString(const QString& portName)> resolvePort;
        ProgressSink* progress = nullptr;
        // The ports "Auto-Detect" tries, in order; COM1..COM9 when not set.
        std::function<QStringList()> autoDetectPorts;
        // Told after "Cannot open Com Port" is shown; the port holds the reason.
        std::function<void(const QString& portName, const SerialPort& port)> openFailed;
    };

    Connection(SerialPort& port, CommandChannel& channel, SettingsStore& store, SessionState& state,
               Hooks hooks, QObject* parent = nullptr);

    // "Auto-Detect" (any letter case) tries COM1..COM9 and the adapters on the
    // machine, anything else that port.
    bool ConnectTo(const QString& portName);
    bool AutoDetect();
    bool Connect(const QString& portName);

    // True from the start of ConnectTo until it returns.
    bool IsAttempting() const { return m_attempting; }

    // Every received line calls this (through the channel's keep-alive hook).
    void RestartKeepAlive();
    void StopKeepAlive();
    bool IsKeepAliveRunning() const { return m_keepAlive.isActive(); }
    void OnKeepAliveTimer();

private:
    bool Fail(const QString& text);
    void OnDeviceLost();
    // Ends the connection: "Not connected to a Unit", port closed.
    void GiveUp();
    void TunerPoll();

    SerialPort& m_port;
    CommandChannel& m_channel;
    SettingsStore& m_store;
    SessionState& m_state;
    Hooks m_hooks;
    QTimer m_keepAlive;
    // Since the last receiver line (or the last restart of the keep-alive).
    QElapsedTimer m_sinceLine;
    bool m_attempting = false;
    // Counts connection attempts, so that a keep-alive poll whose wait saw a new
    // attempt begin does not judge the new connection by the old one's replies.
    unsigned m_generation = 0;
};
