#pragma once

#include "CommandChannel.h"
#include "ReceiverIdentity.h"
#include "SerialAdapters.h"
#include "SerialPort.h"
#include "SessionState.h"
#include "SettingsFile.h"
#include "SettingsStore.h"
#include "StatusLines.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class ProgressSink;

// One receiver, without widgets: the port (serial or tcp://), the command
// channel, the settings store and what the console knows of the connection.
// The window, the command-line tool and the bridge each own one and follow its
// signals.
//
// ConnectTo brings it from no receiver to a known model with the store read,
// then notices when the receiver goes away: a poll after 500 ms without any
// line, asked twice before the connection is given up (once for the bridge,
// which must report a lost receiver within 2 s). OpenPort does only the
// first step (open and model check), for a tool that runs one command and ends.
class ReceiverSession : public QObject {
    Q_OBJECT

public:
    static constexpr int kKeepAliveMs = 500;
    static inline const QString kAutoDetect = QStringLiteral("Auto-Detect");
    static inline const QString kNotConnected = QStringLiteral("Not connected to a Unit");
    static inline const QString kCannotOpen = QStringLiteral("Cannot open Com Port");

    // What a display tells the keep-alive when it fires. Without one, the
    // receiver is polled and the tuner is not.
    class Viewer {
    public:
        virtual ~Viewer() = default;
        // False while the user talks to the receiver directly (the Terminal):
        // a poll would put its answers among theirs.
        virtual bool KeepsAlive() const = 0;
        // True while the tuner's own lines are shown and should stay fresh.
        virtual bool PollsTuner() const = 0;
    };

    explicit ReceiverSession(QObject* parent = nullptr);
    ~ReceiverSession() override;
    ReceiverSession(const ReceiverSession&) = delete;
    ReceiverSession& operator=(const ReceiverSession&) = delete;

    void SetViewer(const Viewer* viewer) { m_viewer = viewer; }
    // Shown while a bulk read or restore runs; nullptr for none.
    void SetProgressSink(ProgressSink* progress) { m_progress = progress; }
    // Where Auto-Detect looks for serial adapters.
    void SetDeviceFolders(const DeviceFolders& folders) { m_deviceFolders = folders; }
    const DeviceFolders& GetDeviceFolders() const { return m_deviceFolders; }
    // Off for a tool whose command is over in seconds; on by default.
    void SetKeepAliveEnabled(bool enabled);
    // Unanswered polls before the connection is given up; 2 by default.
    void SetKeepAlivePolls(int polls) { m_keepAlivePolls = polls; }

    // "Auto-Detect" (any letter case) tries COM1..COM9 and the adapters on the
    // machine, anything else that port: model check, bulk read, keep-alive.
    bool ConnectTo(const QString& portName);
    bool AutoDetect();
    bool Connect(const QString& portName);
    // True from the start of ConnectTo until it returns.
    bool IsAttempting() const { return m_attempting; }
    // A bulk read, restore or connection attempt is using the store.
    bool IsBusy() const { return m_store.IsBusy() || m_attempting; }

    // Opens one port by its name (COMn through the ports folder, a device
    // path, tcp://) and asks for the model; no read, no keep-alive. An
    // unknown model closes the port again.
    ReceiverIdentity::Outcome OpenPort(const QString& portName);
    // The ports Auto-Detect tries, in order.
    QStringList AutoDetectPorts() const;
    // What a port name opens.
    static QString DevicePath(const QString& portName);
    // Why the last port would not open, in words a person can act on.
    QString OpenFailureAdvice() const;

    // Ends the connection quietly (Exit): keep-alive stopped, port closed.
    void Close();

    // The bulk read of the connected model into the store; false (store as it
    // was) when the receiver went silent or away.
    bool ReadAll(const QString& label);
    // The one path by which a shown control changes a setting.
    bool UpdateSetting(const QByteArray& key, const QByteArray& value);
    // Settings files: a load fills the store, the restore sends it on.
    LoadResult LoadFile(const QString& path) { return LoadFromFile(m_store, path); }
    int RestoreStore(QByteArray* report);
    SaveResult SaveFile(const QString& path) const;

    SettingsStore& Store() { return m_store; }
    const SettingsStore& Store() const { return m_store; }
    SessionState& State() { return m_state; }
    const SessionState& State() const { return m_state; }
    SerialPort& Port() { return m_port; }
    CommandChannel& Channel() { return m_channel; }
    StatusLineHandler& StatusLines() { return m_statusLines; }
    // As the last model check answered it (empty without an answer).
    QByteArray Model() const { return m_model; }
    std::uint32_t ModelBit() const { return m_modelBit; }
    QString PortName() const { return m_portName; }
    // Why the device went away during the last attempt; empty when it did not.
    QString LostReason() const { return m_lostReason; }
    bool IsLost() const { return !m_lostReason.isEmpty(); }

    // Every received line calls this (through the channel's keep-alive hook).
    void RestartKeepAlive();
    void StopKeepAlive();
    bool IsKeepAliveRunning() const { return m_keepAlive.isActive(); }
    void OnKeepAliveTimer();

signals:
    void StatusChanged(const QString& text);
    // Said after the status it explains ("Another program holds ...").
    void StatusReasonChanged(const QString& reason);
    // A receiver line changed a stored key; the store holds the value already.
    void KeyChanged(const QByteArray& key, const QByteArray& value);
    // Many keys may have changed at once (a read, a failed read, a restore).
    void StoreReloaded();
    // Every line as received, before it answers a request or updates the store.
    void LineReceived(const QByteArray& line);
    // A tuner line the store does not hold, or a preset's station record.
    void TunerLine(const QByteArray& line);
    void Connected();
    // The receiver went silent or away and the port was closed.
    void Lost();

private:
    bool Fail(const QString& text);
    void SetStatus(const QString& text) { emit StatusChanged(text); }
    void OnDeviceLost(const QString& reason);
    // Ends the connection: "Not connected to a Unit", port closed.
    void GiveUp();
    void TunerPoll();

    SessionState m_state;
    SettingsStore m_store;
    SerialPort m_port;
    CommandChannel m_channel;
    StatusLineHandler m_statusLines;
    const Viewer* m_viewer = nullptr;
    ProgressSink* m_progress = nullptr;
    DeviceFolders m_deviceFolders;
    QString m_portName;
    QString m_devicePath;
    QString m_lostReason;
    QByteArray m_model;
    std::uint32_t m_modelBit = 0;
    QTimer m_keepAlive;
    // Since the last receiver line (or the last restart of the keep-alive).
    QElapsedTimer m_sinceLine;
    bool m_keepAliveEnabled = true;
    int m_keepAlivePolls = 2;
    bool m_attempting = false;
    // Counts connection attempts, so that a keep-alive poll whose wait saw a new
    // attempt begin does not judge the new connection by the old one's replies.
    unsigned m_generation = 0;
};
