#include "ReceiverSession.h"

#include "PortDiagnostics.h"
#include "PortNames.h"
#include "UpdateSetting.h"
#include "Windows1252.h"

#include <QPointer>

namespace {

const QString kConnectingOn = QStringLiteral("Connecting on %1 ...");
const QString kConnectingTo = QStringLiteral("Connecting to %1 on %2");
const QString kConnectedTo = QStringLiteral("Connected to %1 on %2");
const QString kAttemptStopped = QStringLiteral("the connection attempt was stopped");

const QByteArray kSourceKey = QByteArrayLiteral("Main.Source");
// "Tuner?" asks for every tuner line at once.
const QByteArray kTunerLines = QByteArrayLiteral("Tuner?");

using Outcome = ReceiverIdentity::Outcome;

}  // namespace

ReceiverSession::ReceiverSession(QObject* parent)
    : QObject(parent),
      m_channel(m_port),
      m_statusLines(m_store, [this](const QByteArray& key, const QByteArray& value) {
          emit KeyChanged(key, value);
      }) {
    m_statusLines.SetTunerHook([this](const QByteArray& line) { emit TunerLine(line); });
    m_channel.SetStatusHook(
        [this](const QByteArray& key, const QByteArray& value, const QByteArray& line) {
            m_statusLines.HandleStatusLine(key, value, line);
        });
    m_channel.SetTerminalHook([this](const QByteArray& line) { emit LineReceived(line); });
    SetKeepAliveEnabled(true);
    m_keepAlive.setSingleShot(false);
    m_keepAlive.setInterval(kKeepAliveMs);
    connect(&m_keepAlive, &QTimer::timeout, this, &ReceiverSession::OnKeepAliveTimer);
    connect(&m_port, &SerialPort::DeviceLost, this, &ReceiverSession::OnDeviceLost);
}

ReceiverSession::~ReceiverSession() {
    // A suspended operation ends now, while every member it uses is alive.
    StopKeepAlive();
    m_state.connected = false;
    StopOperation();
    // Lines still queued for delivery must not reach half-destroyed members.
    m_channel.SetStatusHook({});
    m_channel.SetKeepAliveHook({});
    m_channel.SetTerminalHook({});
    m_statusLines.SetTunerHook({});
    m_port.Close();
}

void ReceiverSession::SetKeepAliveEnabled(bool enabled) {
    m_keepAliveEnabled = enabled;
    if (enabled) {
        m_channel.SetKeepAliveHook([this] { RestartKeepAlive(); });
    } else {
        m_channel.SetKeepAliveHook({});
        StopKeepAlive();
    }
}

std::stop_token ReceiverSession::BeginOperation() {
    StopOperation();
    m_operation = std::stop_source();
    m_operationRunning = true;
    return m_operation.get_token();
}

void ReceiverSession::EndOperation(const std::stop_token& token) {
    // A stopped operation ends after its successor began; the successor runs on.
    if (token == m_operation.get_token())
        m_operationRunning = false;
}

void ReceiverSession::StopOperation() {
    m_operation.request_stop();
    // A device server's connect in progress ends with the port.
    if (m_port.IsOpening())
        m_port.Close();
    m_channel.Abort();
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
    const std::stop_token stop = BeginOperation();
    m_attempting = true;
    const QStringList names = CandidatePorts(portName);
    bool connected = false;
    for (const QString& name : names) {
        if (stop.stop_requested())
            break;
        connected = co_await Connect(name, stop);
        if (connected)
            break;
    }
    if (!connected && names.size() > 1 && m_failure != Failure::Stopped) {
        m_failureReason = QStringLiteral("%1 found no receiver on %2 (last: %3)")
                              .arg(kAutoDetect, names.join(QStringLiteral(", ")), m_failureReason);
    }
    m_attempting = false;
    EndOperation(stop);
    emit AttemptEnded(connected);
    co_return connected;
}

QCoro::Task<Outcome> ReceiverSession::OpenPort(QString portName) {
    const std::stop_token stop = BeginOperation();
    const QStringList names = CandidatePorts(portName);
    Outcome outcome = Outcome::CannotOpen;
    bool anyOpened = false;
    for (const QString& name : names) {
        outcome = co_await Identify(name, stop);
        if (outcome == Outcome::Known || outcome == Outcome::Stopped)
            break;
        anyOpened = anyOpened || outcome != Outcome::CannotOpen;
        // Auto-Detect goes on; a receiver it does not know is left alone.
        if (names.size() > 1) {
            emit CandidateFailed(name);
            m_port.Close();
        }
    }
    if (names.size() > 1 && outcome != Outcome::Known && outcome != Outcome::Stopped) {
        m_failure = anyOpened ? Failure::NoAnswer : Failure::CannotOpen;
        m_failureReason = QStringLiteral("%1 found no receiver on %2")
                              .arg(kAutoDetect, names.join(QStringLiteral(", ")));
    }
    EndOperation(stop);
    co_return outcome;
}

QCoro::Task<Outcome> ReceiverSession::Identify(QString portName, std::stop_token stop) {
    m_portName = portName;
    m_lostReason.clear();
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
            m_failure = Failure::CannotOpen;
            m_failureReason =
                QStringLiteral("cannot open %1: %2").arg(portName, m_port.LastError());
            break;
        case Outcome::NoAnswer:
            m_failure = Failure::NoAnswer;
            m_failureReason = IsLost() ? m_lostReason
                                       : QStringLiteral("no receiver answered on %1").arg(portName);
            break;
        case Outcome::UnknownModel:
            m_failure = Failure::UnknownModel;
            m_failureReason = QStringLiteral(
                                  "the receiver on %1 reports the model \"%2\", which is not a "
                                  "known Velmar model")
                                  .arg(portName, FromWindows1252(m_model));
            break;
        case Outcome::Stopped:
            m_failure = Failure::Stopped;
            m_failureReason = kAttemptStopped;
            break;
        case Outcome::Known:
            m_failure = Failure::None;
            m_failureReason.clear();
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
    if (!co_await ReadAllFromReceiver(m_store, m_channel, m_progress, label, m_modelBit, stop)) {
        // The receiver went silent or away during the read, or the read was
        // stopped, which put the store back as it was; the pages show that
        // again, not half a read.
        m_state.connected = false;
        m_port.Close();
        emit StoreReloaded();
        const bool stopped = stop.stop_requested() && !IsLost();
        m_failureReason =
            stopped ? kAttemptStopped
            : IsLost()
                ? m_lostReason
                : QStringLiteral("the receiver on %1 went silent during the read").arg(portName);
        co_return Fail(stopped ? Failure::Stopped : Failure::ReadFailed, kNotConnected);
    }
    SetStatus(kConnectedTo.arg(modelText, portName));
    emit StoreReloaded();
    RestartKeepAlive();
    m_channel.SendLine(kTunerLines);
    emit Connected();
    co_return true;
}

QCoro::Task<bool> ReceiverSession::ReadAll(QString label) {
    const std::stop_token stop = BeginOperation();
    const bool complete =
        co_await ReadAllFromReceiver(m_store, m_channel, m_progress, label, m_modelBit, stop);
    EndOperation(stop);
    co_return complete;
}

bool ReceiverSession::UpdateSetting(const QByteArray& key, const QByteArray& value) {
    return ::UpdateSetting(m_store, m_channel, m_state, key, value);
}

QCoro::Task<RestoreResult> ReceiverSession::RestoreStore() {
    const std::stop_token stop = BeginOperation();
    const RestoreResult result = co_await RestoreToReceiver(m_store, m_channel, m_progress, stop);
    EndOperation(stop);
    emit StoreReloaded();
    emit RestoreEnded(result);
    co_return result;
}

QCoro::Task<RestoreResult> ReceiverSession::Restore(SettingsStore& lines) {
    const std::stop_token stop = BeginOperation();
    const RestoreResult result = co_await RestoreToReceiver(lines, m_channel, m_progress, stop);
    EndOperation(stop);
    co_return result;
}

QCoro::Task<RestoreResult> ReceiverSession::RestoreLines(std::vector<QByteArray> lines) {
    const std::stop_token stop = BeginOperation();
    SettingsStore chosen;
    for (const QByteArray& line : lines) {
        chosen.Append(line);
        // As a shown control's change does: the store first, so that the
        // receiver's answer may still correct it.
        QByteArray key;
        QByteArray value;
        if (SplitLine(line, &key, &value))
            m_store.SetValue(key, value);
    }
    const RestoreResult result = co_await RestoreToReceiver(chosen, m_channel, m_progress, stop);
    EndOperation(stop);
    emit StoreReloaded();
    emit RestoreEnded(result);
    co_return result;
}

SaveResult ReceiverSession::SaveFile(const QString& path) const {
    return SaveToFile(m_store, path, QByteArray());
}

void ReceiverSession::Close() {
    StopKeepAlive();
    m_state.connected = false;
    StopOperation();
    m_port.Close();
}

bool ReceiverSession::Fail(Failure failure, const QString& text) {
    m_failure = failure;
    StopKeepAlive();
    m_state.connected = false;
    SetStatus(text);
    return false;
}

// Runs for every receiver line: restarting the timer each time would cost more
// than the line itself, so a running timer only learns when the line came and,
// when it fires, waits out the rest of the quiet period.
void ReceiverSession::RestartKeepAlive() {
    if (!m_keepAliveEnabled)
        return;
    m_sinceLine.start();
    if (!m_keepAlive.isActive())
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
    if (!m_port.IsOpen() || !m_state.connected)
        return;
    // Only into a quiet line: a poll queued behind other commands would judge
    // the receiver by their waits, and they show it is alive anyway.
    if (!m_channel.IsIdle())
        return;
    StopKeepAlive();
    Poll(0);
}

void ReceiverSession::Poll(int attempt) {
    m_channel.Query(kSourceKey, [this, attempt](const CommandChannel::Reply& reply) {
        switch (reply.outcome) {
            case CommandChannel::Outcome::Closed:
                return;  // closed, lost or given up meanwhile: settled already
            case CommandChannel::Outcome::Aborted:
                // An operation was stopped with the poll on the wire; watch on.
                if (m_state.connected)
                    RestartKeepAlive();
                return;
            case CommandChannel::Outcome::Answered:
            case CommandChannel::Outcome::Written:
                RestartKeepAlive();
                TunerPoll();
                return;
            case CommandChannel::Outcome::Timeout:
                break;
        }
        if (attempt + 1 < m_keepAlivePolls)
            Poll(attempt + 1);
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
    m_state.connected = false;
    m_operation.request_stop();
    SetStatus(kNotConnected);
    // An operation ends inside Close, and whoever awaited it goes on there.
    QPointer<ReceiverSession> alive(this);
    m_port.Close();
    if (alive)
        emit Lost();
}

void ReceiverSession::TunerPoll() {
    if (m_viewer != nullptr && m_viewer->PollsTuner())
        m_channel.SendLine(kTunerLines);
}
