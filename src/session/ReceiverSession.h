#pragma once

#include "BulkTransfer.h"
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

#include <qcoro/qcorotask.h>

#include <stop_token>

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
//
// The connection, the read and the restore are coroutines; one runs at a
// time. Each is stopped at once by Cancel, Close, a lost device or the next
// operation: no further port is opened and no further command written, and
// the store is left as for a failed operation. Their results also come as
// signals, for a window that does not await them.
class ReceiverSession : public QObject {
    Q_OBJECT

public:
    static constexpr int kKeepAliveMs = 500;
    static inline const QString kAutoDetect = QStringLiteral("Auto-Detect");
    static inline const QString kNotConnected = QStringLiteral("Not connected to a Unit");
    static inline const QString kCannotOpen = QStringLiteral("Cannot open Com Port");

    // Why the last connection attempt failed.
    enum class Failure {
        None,
        CannotOpen,    // no port would open
        NoAnswer,      // a port opened, but no receiver answered the model check
        UnknownModel,  // a receiver answered with a model outside the known ones
        ReadFailed,    // the receiver went silent or away during the read
        Stopped,       // cancelled, closed, or replaced by another operation
    };

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
    // Where the COMn links are (the profile's "ports" folder).
    void SetPortsFolder(const QString& folder) { m_portsFolder = folder; }
    // Where Auto-Detect looks for serial adapters.
    void SetDeviceFolders(const DeviceFolders& folders) { m_deviceFolders = folders; }
    const DeviceFolders& GetDeviceFolders() const { return m_deviceFolders; }
    // Off for a tool whose command is over in seconds; on by default.
    void SetKeepAliveEnabled(bool enabled);
    // Unanswered polls before the connection is given up; 2 by default.
    void SetKeepAlivePolls(int polls) { m_keepAlivePolls = polls; }

    // "Auto-Detect" (any letter case) tries COM1..COM9 and the adapters on the
    // machine, anything else that port: model check, bulk read, keep-alive.
    // Stops the running operation first. AttemptEnded follows.
    QCoro::Task<bool> ConnectTo(QString portName);
    // True while a connection attempt runs.
    bool IsAttempting() const { return m_attempting; }
    // A bulk read, restore or connection attempt is using the store.
    bool IsBusy() const { return m_store.IsBusy() || m_operationRunning; }
    Failure LastFailure() const { return m_failure; }
    // The last failure in a sentence ("no receiver answered on COM3").
    QString FailureReason() const { return m_failureReason; }

    // Opens one port by its name (COMn through the ports folder, a device
    // path, tcp://; "Auto-Detect" tries them in turn until a known model
    // answers) and asks for the model; no read, no keep-alive. An unknown
    // model closes the port again only when Auto-Detect goes on to the next.
    QCoro::Task<ReceiverIdentity::Outcome> OpenPort(QString portName);
    // The ports a name stands for: Auto-Detect's list, or the name itself.
    QStringList CandidatePorts(const QString& portName) const;
    QStringList AutoDetectPorts() const;
    // What a port name opens.
    QString DevicePath(const QString& portName) const;
    // Why the last port would not open, in words a person can act on.
    QString OpenFailureAdvice() const;

    // Stops the running operation; the connection stays.
    void Cancel();
    // Ends the connection quietly (Exit): operation stopped, keep-alive
    // stopped, port closed.
    void Close();

    // The bulk read of the connected model into the store; false (store as it
    // was) when the receiver went silent or away, or the read was stopped.
    QCoro::Task<bool> ReadAll(QString label);
    // The one path by which a shown control changes a setting.
    bool UpdateSetting(const QByteArray& key, const QByteArray& value);
    // Settings files: a load fills the store, the restore sends it on.
    LoadResult LoadFile(const QString& path) { return LoadFromFile(m_store, path); }
    // Sends the store to the receiver, then reloads the pages (StoreReloaded).
    QCoro::Task<RestoreResult> RestoreStore();
    // Sends the lines of another store (a file the tool holds).
    QCoro::Task<RestoreResult> Restore(SettingsStore& lines);
    // Writes the given key=value lines (some of a file's) into the store and
    // sends them as RestoreStore sends the whole store: the same retry, report
    // and progress; the pages are reloaded and RestoreEnded follows. A line
    // whose key the store lacks is sent all the same.
    QCoro::Task<RestoreResult> RestoreLines(std::vector<QByteArray> lines);
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
    // A port Auto-Detect tried gave no known receiver; LastFailure says why.
    void CandidateFailed(const QString& portName);
    // ConnectTo has ended, connected or not.
    void AttemptEnded(bool connected);
    // RestoreStore has ended; the pages are reloaded already.
    void RestoreEnded(const RestoreResult& result);
    // The receiver went silent or away and the port was closed.
    void Lost();

private:
    // Stops the running operation and starts the next; its token is stopped
    // in turn by the one after, Cancel, Close or a lost device.
    std::stop_token BeginOperation();
    void EndOperation(const std::stop_token& token);
    void StopOperation();
    QCoro::Task<bool> Connect(QString portName, std::stop_token stop);
    QCoro::Task<ReceiverIdentity::Outcome> Identify(QString portName, std::stop_token stop);
    bool Fail(Failure failure, const QString& status);
    void SetStatus(const QString& text) { emit StatusChanged(text); }
    void OnDeviceLost(const QString& reason);
    // Ends the connection: "Not connected to a Unit", port closed.
    void GiveUp();
    void Poll(int attempt);
    void TunerPoll();

    SessionState m_state;
    SettingsStore m_store;
    SerialPort m_port;
    CommandChannel m_channel;
    StatusLineHandler m_statusLines;
    const Viewer* m_viewer = nullptr;
    ProgressSink* m_progress = nullptr;
    DeviceFolders m_deviceFolders;
    QString m_portsFolder;
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
    std::stop_source m_operation;
    bool m_operationRunning = false;
    bool m_attempting = false;
    Failure m_failure = Failure::None;
    QString m_failureReason;
};
