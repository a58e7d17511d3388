#include "BridgeHarness.h"

#include "LocalPort.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

int FreePort() {
    return FreeLocalPort();
}

// QCoreApplication::processEvents drops WaitForMoreEvents and would spin a
// core, which a two-core machine misses in the latency it measures. The loop
// sleeps until an event comes; the timer looks at the deadline and at what
// another thread may have changed.
bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer tick;
    tick.start(5);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

Broker::Broker() : m_port(FreePort()) {
    Start();
}

Broker::~Broker() {
    Stop();
}

bool Broker::Start() {
    const QString config = m_folder.filePath("mosquitto.conf");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence "
                              "false\nlog_dest none\nset_tcp_nodelay true\n")
                   .arg(m_port)
                   .toUtf8());
    file.close();
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start("mosquitto", {"-c", config});
    if (!m_process.waitForStarted(5000))
        return false;
    // Ready once a client gets in.
    Subscriber probe(m_port);
    return WaitFor([&] { return probe.Client().IsConnected(); });
}

void Broker::Stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

Subscriber::Subscriber(int port) {
    MqttClient::Settings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    m_client = std::make_unique<MqttClient>(settings);
    QObject::connect(m_client.get(), &MqttClient::Connected, m_client.get(),
                     [this] { m_client->Subscribe("#"); });
    QObject::connect(m_client.get(), &MqttClient::MessageReceived, m_client.get(),
                     [this](const QByteArray& topic, const QByteArray& payload, bool) {
                         m_messages.append({topic, payload});
                         m_last.insert(topic, payload);
                     });
    m_client->Start();
}

QByteArray Subscriber::Last(const QByteArray& topic, bool* has) const {
    if (has != nullptr)
        *has = m_last.contains(topic);
    return m_last.value(topic);
}

void Subscriber::Publish(const QByteArray& topic, const QByteArray& payload, bool retain) {
    m_client->Publish(topic, payload, retain);
}

BridgeProcess::BridgeProcess(const QString& port, int brokerPort, const QStringList& extra) {
    QStringList arguments{"--port", port,  "--mqtt", QStringLiteral("127.0.0.1:%1").arg(brokerPort),
                          "--name", "test"};
    m_process.start(AMPDESK_BRIDGE_PATH, arguments + extra);
}

BridgeProcess::~BridgeProcess() {
    m_process.kill();
    m_process.waitForFinished(5000);
}

QByteArray BridgeProcess::Log() {
    m_log += m_process.readAllStandardError();
    return m_log;
}
