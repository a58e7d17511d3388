#include "ReceiverSession.h"

#include "BulkTransfer.h"
#include "PortDiagnostics.h"
#include "PortNames.h"
#include "Profile.h"
#include "UpdateSetting.h"
#include "Windows1252.h"

namespace {

const QString kConnectingOn = QStringLiteral("Connecting on %1 ...");
const QString kConnectingTo = QStringLiteral("Connecting to %1 on %2");
const QString kConnectedTo = QStringLiteral("Connected to %1 on %2");

const QByteArray kSourceKey = QByteArrayLiteral("Main.Source");
// "Tuner?" asks for every tuner line at once.
const QByteArray kTunerLines = QByteArrayLiteral("Tuner?");

class AttemptScope {
public:
    explicit AttemptScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~AttemptScope() { m_flag = false; }
    AttemptScope(const AttemptScope&) = delete;
    AttemptScope& operator=(const AttemptScope&) = delete;

private:
    bool& m_flag;
};

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
    // Lines still queued for delivery must not reach half-destroyed members.
    StopKeepAlive();
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

bool ReceiverSession::ConnectTo(const QString& portName) {
    AttemptScope attempt(m_attempting);
    if (portName.compare(kAutoDetect, Qt::CaseInsensitive) == 0)
        return AutoDetect();
    return Connect(portName);
}

bool ReceiverSession::AutoDetect() {
    for (const QString& name : AutoDetectPorts()) {
        if (Connect(name))
            return true;
    }
    return false;
}

QStringList ReceiverSession::AutoDetectPorts() const {
    return AutoDetectPortNames(Profile::PortsFolder(), m_deviceFolders);
}

QString ReceiverSession::DevicePath(const QString& portName) {
    return ResolvePortPath(portName, Profile::PortsFolder());
}

ReceiverIdentity::Outcome ReceiverSession::OpenPort(const QString& portName) {
    m_portName = portName;
    m_lostReason.clear();
    if (m_port.IsOpen())
        m_port.Close();
    m_devicePath = DevicePath(portName);
    const ReceiverIdentity identity = IdentifyReceiver(m_port, m_channel, m_devicePath);
    m_model = identity.model;
    m_modelBit = identity.modelBit;
    return identity.outcome;
}

QString ReceiverSession::OpenFailureAdvice() const {
    return DescribeOpenFailure(
        {m_portName, m_port.DevicePath(), m_port.LastErrorNumber(), m_port.LastError()},
        Profile::PortsFolder());
}

bool ReceiverSession::Connect(const QString& portName) {
    ++m_generation;
    SetStatus(kConnectingOn.arg(portName));
    m_state.connected = false;
    m_state.portName = portName.toLocal8Bit();

    const ReceiverIdentity::Outcome outcome = OpenPort(portName);
    if (outcome == ReceiverIdentity::Outcome::CannotOpen) {
        Fail(kCannotOpen);
        emit StatusReasonChanged(OpenFailureAdvice());
        return false;
    }
    if (outcome == ReceiverIdentity::Outcome::NoAnswer)
        return Fail(kNotConnected);
    m_state.model = m_model;
    m_state.modelBit = m_modelBit;
    // An unknown model keeps its port open: raw steps still reach it, settings do not.
    if (outcome == ReceiverIdentity::Outcome::UnknownModel)
        return Fail(kNotConnected);

    m_state.connected = true;
    const QString modelText = FromWindows1252(m_model);
    const QString label = kConnectingTo.arg(modelText, portName);
    SetStatus(label);
    if (!ReadAll(label)) {
        // The receiver went silent or away during the read, which put the store
        // back as it was; the pages show that again, not half a read.
        m_port.Close();
        emit StoreReloaded();
        return Fail(kNotConnected);
    }
    SetStatus(kConnectedTo.arg(modelText, portName));
    emit StoreReloaded();
    RestartKeepAlive();
    m_channel.SendLine(kTunerLines);
    emit Connected();
    return true;
}

bool ReceiverSession::ReadAll(const QString& label) {
    return ReadAllFromReceiver(m_store, m_channel, m_progress, label, m_modelBit);
}

bool ReceiverSession::UpdateSetting(const QByteArray& key, const QByteArray& value) {
    return ::UpdateSetting(m_store, m_channel, m_state, key, value);
}

int ReceiverSession::RestoreStore(QByteArray* report) {
    const int errors = RestoreToReceiver(m_store, m_channel, m_progress, report);
    emit StoreReloaded();
    return errors;
}

SaveResult ReceiverSession::SaveFile(const QString& path) const {
    return SaveToFile(m_store, path, QByteArray());
}

void ReceiverSession::Close() {
    // A bulk read or restore still waiting below us ends quickly on a closed port.
    StopKeepAlive();
    m_state.connected = false;
    m_port.Close();
}

bool ReceiverSession::Fail(const QString& text) {
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
    // A poll now would take over the one reply slot from the Request that is
    // waiting (the bulk read's, a setting's) and make it time out.
    if (m_channel.IsWaiting())
        return;

    StopKeepAlive();
    const unsigned generation = m_generation;
    for (int attempt = 0; attempt < m_keepAlivePolls; ++attempt) {
        const bool answered = m_channel.Query(kSourceKey) != CommandChannel::kTimeout;
        // A new attempt or a closed port (lost device, Exit) during the wait
        // has settled the connection already.
        if (generation != m_generation || !m_port.IsOpen())
            return;
        if (answered) {
            RestartKeepAlive();
            TunerPoll();
            return;
        }
    }
    GiveUp();
}

void ReceiverSession::OnDeviceLost(const QString& reason) {
    // Closing wakes every waiting Request with "", which ends a bulk read or
    // restore in progress; the user can plug the adapter back and Connect.
    m_lostReason = reason;
    GiveUp();
}

void ReceiverSession::GiveUp() {
    StopKeepAlive();
    m_state.connected = false;
    SetStatus(kNotConnected);
    m_port.Close();
    emit Lost();
}

void ReceiverSession::TunerPoll() {
    if (m_viewer != nullptr && m_viewer->PollsTuner())
        m_channel.SendLine(kTunerLines);
}
