#pragma once

#include "BulkTransfer.h"
#include "CommandChannel.h"
#include "FailureText.h"
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

#include <algorithm>
#include <functional>
#include <stop_token>
#include <vector>

// One receiver, without widgets: the port (serial or tcp://), the command
// channel, the settings store and what the console knows of the connection.
// The window, the command-line tool and the bridge each own one and follow its
// signals.
//
// ConnectTo brings it from no receiver to a known model with the store read,
// then notices when the receiver goes away. OpenPort does only the first step
// (open and model check), for a tool that runs one command and ends.
//
// Loss is judged by evidence, whoever's commands are waiting: after 500 ms
// without any line, or after two unanswered commands in a row, the keep-alive
// check ("Main.Source?") goes to the head of the queue. The connection is
// given up when the check goes unanswered after another unanswered command
// (or at once, with one poll set, for the bridge), at most about 2 s after
// the receiver's last line.
//
// The store holds what the receiver said; a user's change is pending beside
// it until the receiver's answer confirms it, or is dropped (time-out, closed
// link) with the reason on the status reason line.
//
// The connection, the read and the restore are coroutines; one runs at a
// time, and the next begins once the one it stopped has ended. Each is stopped
// by Cancel, Close, a lost device or the next operation: its own commands end,
// no further port is opened and no further command written, and the store is
// left as for a failed operation; the user's sets and the keep-alive go on.
// Their results also come as signals, for a window that does not await them.
class ReceiverSession : public QObject {
    Q_OBJECT

public:
    static constexpr int kKeepAliveMs = 500;
    static inline const QString kAutoDetect = QStringLiteral("Auto-Detect");
    static inline const QString kNotConnected = QStringLiteral("Not connected to a Unit");
    static inline const QString kCannotOpen = QStringLiteral("Cannot open Com Port");

    // Why the last connection attempt failed; FailureText says it in words.
    using Failure = ConnectionFailure;

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
    // Unanswered commands in a row, the keep-alive check last, that give the
    // connection up; 2 by default, 1 for a check that decides alone.
    void SetKeepAlivePolls(int polls) { m_keepAlivePolls = polls; }
    // Commands a bulk read or restore keeps on the wire at once (1: one at a
    // time, as for a receiver known to need it). A receiver that shows it
    // cannot keep up is spoken to one command at a time for the rest of the
    // session, which the status reason line says once.
    void SetPipelineDepth(int depth) {
        m_pipeline.depth = std::clamp(depth, 1, Pipeline::kMaxDepth);
    }
    const Pipeline& GetPipeline() const { return m_pipeline; }

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

    // The one path by which a shown control changes a setting. Connected, the
    // value is pending until the receiver answers and the set is queued (true);
    // otherwise the store takes it as it is (false), as for a file being
    // edited with no receiver.
    bool UpdateSetting(const QByteArray& key, const QByteArray& value);

    // Sends key=value lines (a file's, or some of them) to the receiver, each
    // confirmed by its answer; the store changes only by those answers. The
    // pages are reloaded (StoreReloaded) and RestoreEnded follows. With the
    // port closed nothing is sent.
    QCoro::Task<RestoreResult> Restore(std::vector<QByteArray> lines);
    // Load Settings: connected, the file's lines are restored; otherwise the
    // file becomes the store (nothing to send it to), and RestoreEnded follows.
    QCoro::Task<RestoreResult> LoadSettings(SettingsStore file);
    // Writes the confirmed values.
    SaveResult SaveFile(const QString& path) const;

    // Commands from a tool or a console, in their place in the one queue.
    bool SendLine(const QByteArray& text) { return m_channel.SendLine(text); }
    bool Step(const QByteArray& key, bool up) { return m_channel.Step(key, up); }
    bool Submit(CommandChannel::Request request, CommandChannel::Done done = {}) {
        return m_channel.Submit(std::move(request), std::move(done));
    }
    // A command's reply, awaited; it ends with the session's teardown.
    QCoro::Task<CommandChannel::Reply> Ask(CommandChannel::Kind kind, QByteArray body);
    // Handles a line as if the receiver had sent it (a replay, a test).
    void TakeLine(const QByteArray& line) { m_channel.OnReceiverLine(line); }
    bool IsOpen() const { return m_port.IsOpen(); }
    bool IsIdle() const { return m_channel.IsIdle(); }
    // Why the port last failed to open or went away.
    QString PortError() const { return m_port.LastError(); }

    SettingsStore& Store() { return m_store; }
    const SettingsStore& Store() const { return m_store; }
    SessionState& State() { return m_state; }
    const SessionState& State() const { return m_state; }
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

    // A loss shows at most this long after the receiver's last line: the
    // keep-alive check waits no longer than what is left of it (but half a
    // second at least).
    static constexpr int kLossShownMs = 1900;

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
    // Stops the running operation and, once it has ended, starts this one;
    // its token is stopped in turn by the one after, Cancel, Close or a lost
    // device. An operation superseded while it waited gets a stopped token.
    QCoro::Task<std::stop_token> BeginOperation();
    void EndOperation(const std::stop_token& token);
    // Lets the operations that waited for the last one to end begin; true
    // when there were any.
    bool BeginWaiting();
    void StopOperation();
    // Auto-Detect's one loop: each candidate in turn, `connect` with the read.
    QCoro::Task<ReceiverIdentity::Outcome> Detect(QString portName, bool connect,
                                                  std::stop_token stop);
    QCoro::Task<bool> Connect(QString portName, std::stop_token stop);
    QCoro::Task<ReceiverIdentity::Outcome> Identify(QString portName, std::stop_token stop);
    bool Fail(Failure failure, const QString& status);
    // The failure and its sentence, from what the last port gave.
    void SetFailure(Failure failure);
    void SetStatus(const QString& text) { emit StatusChanged(text); }
    void OnLine(const CommandChannel::ReceivedLine& line);
    void OnSetEnded(const QByteArray& key, quint64 generation, const CommandChannel::Reply& reply);
    // Pending values shown no longer (a closed link): their controls show
    // what the receiver said.
    void DropPendingValues();
    void OnDeviceLost(const QString& reason);
    // Ends the connection: "Not connected to a Unit", port closed.
    void GiveUp();
    // The keep-alive check, at the head of the queue when commands wait.
    void StartCheck(CommandChannel::Place place);
    void Poll(CommandChannel::Place place);
    void TunerPoll();
    // After a read or restore: says once that the receiver needs lockstep.
    void NoteLockstep(Pipeline::State before);

    SessionState m_state;
    SettingsStore m_store;
    SerialPort m_port;
    CommandChannel m_channel;
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
    // A receiver answered the model check on the open port: its loss is watched.
    bool m_watching = false;
    // A keep-alive check is queued or on the wire.
    bool m_checking = false;
    std::stop_source m_operation;
    bool m_operationRunning = false;
    // Counts operations asked for; only the newest of those waiting begins.
    quint64 m_operationsAsked = 0;
    std::vector<std::function<void(bool)>> m_operationEnded;
    bool m_attempting = false;
    Failure m_failure = Failure::None;
    QString m_failureReason;
    Pipeline m_pipeline;
};
