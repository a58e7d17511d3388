#include "ReceiverSession.h"

#include "Completion.h"
#include "PortDiagnostics.h"
#include "PortNames.h"
#include "Windows1252.h"

#include <QPointer>

#include <algorithm>

namespace {

const QString kConnectingOn = QStringLiteral("Connecting on %1 ...");
const QString kConnectingTo = QStringLiteral("Connecting to %1 on %2");
const QString kConnectedTo = QStringLiteral("Connected to %1 on %2");
const QString kLockstepFromNowOn = QStringLiteral(
    "The receiver did not keep up with two commands at a time; from now on it is sent one "
    "command at a time");

const QByteArray kSourceKey = QByteArrayLiteral("Main.Source");
// "Tuner?" asks for every tuner line at once.
const QByteArray kTunerLines = QByteArrayLiteral("Tuner?");

using Outcome = ReceiverIdentity::Outcome;

}  // namespace

ReceiverSession::ReceiverSession(QObject* parent) : QObject(parent), m_channel(m_port) {
    m_channel.SetLineHook([this](const CommandChannel::ReceivedLine& line) { OnLine(line); });
    m_channel.SetKeepAliveHook([this] { RestartKeepAlive(); });
    connect(&m_channel, &CommandChannel::Unanswered, this, [this] {
        if (m_channel.UnansweredInARow() >= 2)
            StartCheck(CommandChannel::Place::Front);
    });
    m_keepAlive.setSingleShot(false);
    m_keepAlive.setInterval(kKeepAliveMs);
    connect(&m_keepAlive, &QTimer::timeout, this, &ReceiverSession::OnKeepAliveTimer);
    connect(&m_port, &SerialPort::DeviceLost, this, &ReceiverSession::OnDeviceLost);
}

ReceiverSession::~ReceiverSession() {
    StopKeepAlive();
    m_watching = false;
    m_state.connected = false;
    ++m_operationsAsked;
    m_operation.request_stop();
    // Suspended operations end now, while every member they use is alive,
    // and so do those that waited for them to begin (they find themselves stopped).
    m_port.Close();
    while (m_channel.Shutdown() || BeginWaiting()) {
    }
}

void ReceiverSession::SetKeepAliveEnabled(bool enabled) {
    m_keepAliveEnabled = enabled;
    if (!enabled && !m_watching)
        StopKeepAlive();
}

QCoro::Task<std::stop_token> ReceiverSession::BeginOperation() {
    const quint64 asked = ++m_operationsAsked;
    StopOperation();
    while (m_operationRunning) {
        co_await Completion<bool>(
            [this](std::function<void(bool)> ended) { m_operationEnded.push_back(ended); });
    }
    if (asked != m_operationsAsked) {
        // A newer request (or Close) came while this one waited.
        std::stop_source superseded;
        superseded.request_stop();
        co_return superseded.get_token();
    }
    m_operation = std::stop_source();
    m_operationRunning = true;
    co_return m_operation.get_token();
}

void ReceiverSession::EndOperation(const std::stop_token& token) {
    if (token != m_operation.get_token() || !m_operationRunning)
        return;
    m_operationRunning = false;
    // A successor waiting for this one begins a pass later, once this one
    // has said how it ended.
    if (!m_operationEnded.empty())
        QMetaObject::invokeMethod(this, &ReceiverSession::BeginWaiting, Qt::QueuedConnection);
}

bool ReceiverSession::BeginWaiting() {
    auto waiting = std::exchange(m_operationEnded, {});
    for (auto& begin : waiting)
        begin(true);
    return !waiting.empty();
}

void ReceiverSession::StopOperation() {
    m_operation.request_stop();
    // A device server's connect in progress ends with the port.
    if (m_port.IsOpening())
        m_port.Close();
    m_channel.Abort(m_operation.get_token());
}

void ReceiverSession::Cancel() {
    StopOperation();
}

QStringList ReceiverSession::CandidatePorts(const QString& portName) const {
    if (portName.compare(kAutoDetect, Qt::CaseInsensitive) == 0)
        return AutoDetectPorts();
    return {portName};
}

QStringList ReceiverSession::AutoDetectPorts() const {
    return AutoDetectPortNames(m_portsFolder, m_deviceFolders);
}

QString ReceiverSession::DevicePath(const QString& portName) const {
    return ResolvePortPath(portName, m_portsFolder);
}

QString ReceiverSession::OpenFailureAdvice() const {
    return DescribeOpenFailure(
        {m_portName, m_port.DevicePath(), m_port.LastErrorNumber(), m_port.LastError()},
        m_portsFolder);
}

QCoro::Task<bool> ReceiverSession::ConnectTo(QString portName) {
    const std::stop_token stop = co_await BeginOperation();
    m_attempting = true;
    const bool connected = co_await Detect(portName, true, stop) == Outcome::Known;
    m_attempting = false;
    EndOperation(stop);
    emit AttemptEnded(connected);
    co_return connected;
}

QCoro::Task<Outcome> ReceiverSession::OpenPort(QString portName) {
    const std::stop_token stop = co_await BeginOperation();
    const Outcome outcome = co_await Detect(portName, false, stop);
    EndOperation(stop);
    co_return outcome;
}

QCoro::Task<Outcome> ReceiverSession::Detect(QString portName, bool connect, std::stop_token stop) {
    const QStringList names = CandidatePorts(portName);
    Outcome outcome = Outcome::CannotOpen;
    bool anyOpened = false;
    for (const QString& name : names) {
        if (stop.stop_requested()) {
            outcome = Outcome::Stopped;
            // What the session knows of a port is the last attempt's, not this one's.
            m_failure = Failure::Stopped;
            m_failureReason = FailureText(Failure::Stopped, {});
            break;
        }
        if (connect) {
            const bool connected = co_await Connect(name, stop);
            outcome = connected                       ? Outcome::Known
                      : m_failure == Failure::Stopped ? Outcome::Stopped
                                                      : Outcome::NoAnswer;
        } else {
            outcome = co_await Identify(name, stop);
        }
        if (outcome == Outcome::Known || outcome == Outcome::Stopped)
            break;
        anyOpened = anyOpened || m_failure != Failure::CannotOpen;
        // Auto-Detect goes on; a receiver it does not know is left alone.
        if (names.size() > 1) {
            emit CandidateFailed(name);
            m_port.Close();
        }
    }
    if (names.size() > 1 && outcome != Outcome::Known && outcome != Outcome::Stopped) {
        const QString last = m_failureReason;
        m_failure = anyOpened ? Failure::NoAnswer : Failure::CannotOpen;
        m_failureReason = AutoDetectFailureText(names, last);
    }
    co_return outcome;
}

QCoro::Task<Outcome> ReceiverSession::Identify(QString portName, std::stop_token stop) {
    m_portName = portName;
    m_lostReason.clear();
    m_watching = false;
    StopKeepAlive();
    if (m_port.IsOpen())
        m_port.Close();
    m_devicePath = DevicePath(portName);
    m_model.clear();
    m_modelBit = 0;
    const ReceiverIdentity identity =
        co_await IdentifyReceiver(m_port, m_channel, m_devicePath, stop);
    m_model = identity.model;
    m_modelBit = identity.modelBit;
    switch (identity.outcome) {
        case Outcome::CannotOpen:
            SetFailure(Failure::CannotOpen);
            break;
        case Outcome::NoAnswer:
            SetFailure(Failure::NoAnswer);
            break;
        case Outcome::UnknownModel:
            SetFailure(Failure::UnknownModel);
            break;
        case Outcome::Stopped:
            SetFailure(Failure::Stopped);
            break;
        case Outcome::Known:
            SetFailure(Failure::None);
            // From here on a silent receiver is noticed, whatever runs.
            m_watching = true;
            RestartKeepAlive();
            break;
    }
    co_return identity.outcome;
}

QCoro::Task<bool> ReceiverSession::Connect(QString portName, std::stop_token stop) {
    SetStatus(kConnectingOn.arg(portName));
    m_state.connected = false;
    m_state.portName = portName.toLocal8Bit();

    const Outcome outcome = co_await Identify(portName, stop);
    if (outcome == Outcome::CannotOpen) {
        Fail(Failure::CannotOpen, kCannotOpen);
        emit StatusReasonChanged(OpenFailureAdvice());
        co_return false;
    }
    if (outcome == Outcome::NoAnswer || outcome == Outcome::Stopped)
        co_return Fail(m_failure, kNotConnected);
    m_state.model = m_model;
    m_state.modelBit = m_modelBit;
    // An unknown model keeps its port open: raw steps still reach it, settings do not.
    if (outcome == Outcome::UnknownModel)
        co_return Fail(Failure::UnknownModel, kNotConnected);

    m_state.connected = true;
    const QString modelText = FromWindows1252(m_model);
    const QString label = kConnectingTo.arg(modelText, portName);
    SetStatus(label);
    const Pipeline::State pipelineBefore = m_pipeline.state;
    const bool read = co_await ReadAllFromReceiver(m_store, m_channel, m_progress, label,
                                                   m_modelBit, stop, &m_pipeline);
    if (!read) {
        // The receiver went silent or away during the read, or the read was
        // stopped, which put the store back as it was; the pages show that
        // again, not half a read.
        m_state.connected = false;
        m_port.Close();
        emit StoreReloaded();
        const bool stopped = stop.stop_requested() && !IsLost();
        SetFailure(stopped ? Failure::Stopped : Failure::ReadFailed);
        Fail(m_failure, kNotConnected);
        NoteLockstep(pipelineBefore);
        co_return false;
    }
    SetStatus(kConnectedTo.arg(modelText, portName));
    NoteLockstep(pipelineBefore);
    emit StoreReloaded();
    RestartKeepAlive();
    m_channel.SendLine(kTunerLines);
    emit Connected();
    co_return true;
}

QCoro::Task<bool> ReceiverSession::ReadAll(QString label) {
    const std::stop_token stop = co_await BeginOperation();
    const Pipeline::State pipelineBefore = m_pipeline.state;
    const bool complete = co_await ReadAllFromReceiver(m_store, m_channel, m_progress, label,
                                                       m_modelBit, stop, &m_pipeline);
    EndOperation(stop);
    NoteLockstep(pipelineBefore);
    co_return complete;
}

QCoro::Task<CommandChannel::Reply> ReceiverSession::Ask(CommandChannel::Kind kind,
                                                        QByteArray body) {
    co_return co_await Asked(m_channel, kind, std::move(body));
}

bool ReceiverSession::UpdateSetting(const QByteArray& key, const QByteArray& value) {
    if (!m_state.connected) {
        m_store.SetValue(key, value);
        return false;
    }
    // Rules that follow the user's choice follow it at once; the line itself
    // changes only when the receiver says what it kept.
    const quint64 generation = m_store.SetPending(key, value);
    if (generation != 0)
        emit KeyChanged(key, value);
    return m_channel.Set(
        key, value,
        [this, key, generation](const CommandChannel::Reply& reply) {
            OnSetEnded(key, generation, reply);
        },
        CommandChannel::Owner::Within(this));
}

void ReceiverSession::OnSetEnded(const QByteArray& key, quint64 generation,
                                 const CommandChannel::Reply& reply) {
    // A newer value of the key is still on its way: it stays shown.
    if (generation == 0 || !m_store.DropPending(key, generation))
        return;
    if (!reply.Answered()) {
        emit StatusReasonChanged(
            QStringLiteral("%1 was not changed: %2; it shows the receiver's value")
                .arg(QString::fromLatin1(key), UnansweredText(reply.outcome)));
    }
    emit KeyChanged(key, m_store.GetValue(key));
}

void ReceiverSession::DropPendingValues() {
    for (const QByteArray& key : m_store.DropAllPending())
        emit KeyChanged(key, m_store.GetValue(key));
}

QCoro::Task<RestoreResult> ReceiverSession::Restore(std::vector<QByteArray> lines) {
    const std::stop_token stop = co_await BeginOperation();
    const Pipeline::State pipelineBefore = m_pipeline.state;
    const RestoreResult result =
        co_await RestoreToReceiver(std::move(lines), m_channel, m_progress, stop, &m_pipeline);
    EndOperation(stop);
    NoteLockstep(pipelineBefore);
    const QPointer<ReceiverSession> alive(this);
    emit StoreReloaded();
    if (alive)
        emit RestoreEnded(result);
    co_return result;
}

QCoro::Task<RestoreResult> ReceiverSession::LoadSettings(SettingsStore file) {
    if (m_state.connected)
        co_return co_await Restore(file.Lines());
    // No receiver to send it to: the file is the copy being edited.
    m_store.Clear();
    for (const QByteArray& line : file.Lines())
        m_store.Append(line);
    const RestoreResult result;
    const QPointer<ReceiverSession> alive(this);
    emit StoreReloaded();
    if (alive)
        emit RestoreEnded(result);
    co_return result;
}

SaveResult ReceiverSession::SaveFile(const QString& path) const {
    return SaveToFile(m_store, path, QByteArray());
}

void ReceiverSession::Close() {
    StopKeepAlive();
    m_watching = false;
    m_state.connected = false;
    ++m_operationsAsked;
    StopOperation();
    m_port.Close();
    DropPendingValues();
}

void ReceiverSession::SetFailure(Failure failure) {
    m_failure = failure;
    m_failureReason =
        FailureText(failure, {m_portName, m_devicePath, m_model, m_port.LastError(), m_lostReason});
}

bool ReceiverSession::Fail(Failure failure, const QString& text) {
    m_failure = failure;
    m_state.connected = false;
    if (!m_port.IsOpen()) {
        m_watching = false;
        StopKeepAlive();
    }
    SetStatus(text);
    return false;
}

void ReceiverSession::OnLine(const CommandChannel::ReceivedLine& line) {
    const StatusRoute route = line.status && !line.key.isEmpty()
                                  ? RouteStatusLine(m_store, line.key, line.value, line.answer)
                                  : StatusRoute{};
    // Whoever hears of the line may close the window and with it this session.
    const QPointer<ReceiverSession> alive(this);
    emit LineReceived(line.raw);
    if (alive && route.stored)
        emit KeyChanged(line.key, m_store.GetValue(line.key));
    if (alive && route.toTuner)
        emit TunerLine(line.answer);
}

// Runs for every receiver line: restarting the timer each time would cost more
// than the line itself, so a running timer only learns when the line came and,
// when it fires, waits out the rest of the quiet period.
void ReceiverSession::RestartKeepAlive() {
    m_sinceLine.start();
    if (!m_keepAlive.isActive() && m_watching && !m_checking)
        m_keepAlive.start(kKeepAliveMs);
}

void ReceiverSession::StopKeepAlive() {
    m_keepAlive.stop();
}

void ReceiverSession::OnKeepAliveTimer() {
    const qint64 quietMs = m_sinceLine.isValid() ? m_sinceLine.elapsed() : kKeepAliveMs;
    if (quietMs < kKeepAliveMs) {
        m_keepAlive.start(static_cast<int>(kKeepAliveMs - quietMs));
        return;
    }
    if (m_keepAlive.interval() != kKeepAliveMs)
        m_keepAlive.start(kKeepAliveMs);
    if (m_viewer != nullptr && !m_viewer->KeepsAlive())
        return;
    if (m_channel.IsIdle()) {
        // A quiet line is polled only for a connection that keeps alive; a
        // tool's one command needs no poll between its own.
        if (m_keepAliveEnabled && m_state.connected)
            StartCheck(CommandChannel::Place::Back);
        return;
    }
    // Commands wait and nothing came for half a second: ask now, first.
    StartCheck(CommandChannel::Place::Front);
}

void ReceiverSession::StartCheck(CommandChannel::Place place) {
    if (m_checking || !m_watching || !m_port.IsOpen())
        return;
    if (m_viewer != nullptr && !m_viewer->KeepsAlive())
        return;
    m_checking = true;
    StopKeepAlive();
    Poll(place);
}

void ReceiverSession::Poll(CommandChannel::Place place) {
    const qint64 quietMs = m_sinceLine.isValid() ? m_sinceLine.elapsed() : 0;
    const int waitMs = static_cast<int>(
        std::clamp<qint64>(kLossShownMs - quietMs, kKeepAliveMs, CommandChannel::kReplyTimeoutMs));
    CommandChannel::Request poll{CommandChannel::Kind::Query,
                                 kSourceKey + '?',
                                 CommandChannel::Owner::Within(this),
                                 place,
                                 waitMs,
                                 {}};
    m_channel.Submit(std::move(poll), [this](const CommandChannel::Reply& reply) {
        switch (reply.outcome) {
            case CommandChannel::Outcome::Closed:
            case CommandChannel::Outcome::Aborted:
                // Closed, lost or given up meanwhile: settled already.
                m_checking = false;
                RestartKeepAlive();
                return;
            case CommandChannel::Outcome::Answered:
            case CommandChannel::Outcome::Written:
                m_checking = false;
                RestartKeepAlive();
                TunerPoll();
                return;
            case CommandChannel::Outcome::Timeout:
                break;
        }
        if (m_channel.UnansweredInARow() < m_keepAlivePolls)
            Poll(CommandChannel::Place::Front);
        else
            GiveUp();
    });
}

void ReceiverSession::OnDeviceLost(const QString& reason) {
    // Ends a bulk read or restore in progress, and Auto-Detect opens no
    // further port; the user can plug the adapter back and Connect.
    m_lostReason = reason;
    GiveUp();
}

void ReceiverSession::GiveUp() {
    StopKeepAlive();
    m_checking = false;
    m_watching = false;
    m_state.connected = false;
    m_operation.request_stop();
    if (m_lostReason.isEmpty())
        m_lostReason = SilentReceiverText(m_portName);
    SetStatus(kNotConnected);
    // Whoever awaited a command hears Closed from the event loop.
    m_port.Close();
    DropPendingValues();
    emit Lost();
}

void ReceiverSession::NoteLockstep(Pipeline::State before) {
    if (before != Pipeline::State::Refused && m_pipeline.state == Pipeline::State::Refused)
        emit StatusReasonChanged(kLockstepFromNowOn);
}

void ReceiverSession::TunerPoll() {
    if (m_viewer != nullptr && m_viewer->PollsTuner())
        m_channel.SendLine(kTunerLines);
}
