#include "Connection.h"

#include "BulkTransfer.h"
#include "ByteText.h"
#include "CommandChannel.h"
#include "PortNames.h"
#include "ReceiverIdentity.h"
#include "SerialPort.h"
#include "SessionState.h"
#include "SettingsStore.h"
#include "Windows1252.h"

namespace {

const QString kConnectingOn = QStringLiteral("Connecting on %1 ...");
const QString kConnectingTo = QStringLiteral("Connecting to %1 on %2");
const QString kConnectedTo = QStringLiteral("Connected to %1 on %2");
const QString kNotConnected = QStringLiteral("Not connected to a Unit");
const QString kCannotOpen = QStringLiteral("Cannot open Com Port");

const QByteArray kSourceQuery = QByteArrayLiteral("\rMain.Source?\r");
const QByteArray kTunerQuery = QByteArrayLiteral("\rTuner?\r");

const QString kTerminalTab = QStringLiteral("Terminal");
const QString kTunerTab = QStringLiteral("Tuner");

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

Connection::Connection(SerialPort& port, CommandChannel& channel, SettingsStore& store,
                       SessionState& state, Hooks hooks, QObject* parent)
    : QObject(parent),
      m_port(port),
      m_channel(channel),
      m_store(store),
      m_state(state),
      m_hooks(std::move(hooks)) {
    m_keepAlive.setSingleShot(false);
    m_keepAlive.setInterval(kKeepAliveMs);
    connect(&m_keepAlive, &QTimer::timeout, this, &Connection::OnKeepAliveTimer);
    connect(&m_port, &SerialPort::DeviceLost, this, &Connection::OnDeviceLost);
}

bool Connection::ConnectTo(const QString& portName) {
    AttemptScope attempt(m_attempting);
    if (portName.compare(kAutoDetect, Qt::CaseInsensitive) == 0)
        return AutoDetect();
    return Connect(portName);
}

bool Connection::AutoDetect() {
    const QStringList names = m_hooks.autoDetectPorts ? m_hooks.autoDetectPorts() : ComPortNames();
    for (const QString& name : names) {
        if (Connect(name))
            return true;
    }
    return false;
}

bool Connection::Connect(const QString& portName) {
    ++m_generation;
    m_hooks.setStatus(kConnectingOn.arg(portName));
    m_state.connected = false;
    m_state.portName = portName.toLocal8Bit();
    if (m_port.IsOpen())
        m_port.Close();

    const QString device = m_hooks.resolvePort ? m_hooks.resolvePort(portName) : portName;
    const ReceiverIdentity identity = IdentifyReceiver(m_port, m_channel, device);
    if (identity.outcome == ReceiverIdentity::Outcome::CannotOpen) {
        Fail(kCannotOpen);
        if (m_hooks.openFailed)
            m_hooks.openFailed(portName, m_port);
        return false;
    }
    if (identity.outcome == ReceiverIdentity::Outcome::NoAnswer)
        return Fail(kNotConnected);
    const QByteArray model = identity.model;
    m_state.model = model;
    m_state.modelBit = identity.modelBit;
    // An unknown model keeps its port open: raw steps still reach it, settings do not.
    if (identity.outcome == ReceiverIdentity::Outcome::UnknownModel)
        return Fail(kNotConnected);

    m_state.connected = true;
    const QString modelText = FromWindows1252(model);
    const QString label = kConnectingTo.arg(modelText, portName);
    m_hooks.setStatus(label);
    if (!ReadAllFromReceiver(m_store, m_channel, m_hooks.progress, label, m_state.modelBit)) {
        // The receiver went silent or away during the read, which put the store
        // back as it was; the pages show that again, not half a read.
        m_port.Close();
        if (m_hooks.refreshAllPages)
            m_hooks.refreshAllPages();
        return Fail(kNotConnected);
    }
    m_hooks.setStatus(kConnectedTo.arg(modelText, portName));
    if (m_hooks.refreshAllPages)
        m_hooks.refreshAllPages();
    RestartKeepAlive();
    m_channel.Send(kTunerQuery);
    return true;
}

bool Connection::Fail(const QString& text) {
    StopKeepAlive();
    m_state.connected = false;
    m_hooks.setStatus(text);
    return false;
}

// Runs for every receiver line: restarting the timer each time would cost more
// than the line itself, so a running timer only learns when the line came and,
// when it fires, waits out the rest of the quiet period.
void Connection::RestartKeepAlive() {
    m_sinceLine.start();
    if (!m_keepAlive.isActive())
        m_keepAlive.start(kKeepAliveMs);
}

void Connection::StopKeepAlive() {
    m_keepAlive.stop();
}

void Connection::OnKeepAliveTimer() {
    const qint64 quietMs = m_sinceLine.isValid() ? m_sinceLine.elapsed() : kKeepAliveMs;
    if (quietMs < kKeepAliveMs) {
        m_keepAlive.start(static_cast<int>(kKeepAliveMs - quietMs));
        return;
    }
    if (m_keepAlive.interval() != kKeepAliveMs)
        m_keepAlive.start(kKeepAliveMs);
    const QString tab = m_hooks.currentTabTitle ? m_hooks.currentTabTitle() : QString();
    if (tab.isEmpty() || tab.compare(kTerminalTab, Qt::CaseInsensitive) == 0)
        return;
    if (!m_port.IsOpen() || !m_state.connected)
        return;
    // A poll now would take over the one reply slot from the Request that is
    // waiting (the bulk read's, a setting's) and make it time out.
    if (m_channel.IsWaiting())
        return;

    StopKeepAlive();
    const unsigned generation = m_generation;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool answered = m_channel.Request(kSourceQuery) != CommandChannel::kTimeout;
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

void Connection::OnDeviceLost() {
    // Closing wakes every waiting Request with "", which ends a bulk read or
    // restore in progress; the user can plug the adapter back and Connect.
    GiveUp();
}

void Connection::GiveUp() {
    StopKeepAlive();
    m_state.connected = false;
    m_hooks.setStatus(kNotConnected);
    m_port.Close();
}

void Connection::TunerPoll() {
    const QString tab = m_hooks.currentTabTitle ? m_hooks.currentTabTitle() : QString();
    if (tab.compare(kTunerTab, Qt::CaseInsensitive) != 0)
        return;
    if (m_hooks.isTunerSelected && m_hooks.isTunerSelected())
        m_channel.Send(kTunerQuery);
}
