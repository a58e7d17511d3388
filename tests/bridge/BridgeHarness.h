#pragma once

#include "MqttClient.h"
#include "SimProcess.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <utility>

// A real mosquitto broker on a free local port, for one test.
class Broker {
public:
    Broker();
    ~Broker();
    bool Start();  // again after Stop, on the same port
    void Stop();
    int Port() const { return m_port; }

private:
    QTemporaryDir m_folder;
    int m_port = 0;
    QProcess m_process;
};

// A subscriber to everything, remembering every message.
class Subscriber {
public:
    explicit Subscriber(int port);
    // The last payload of a topic; nullopt-like: `has` false when none came.
    QByteArray Last(const QByteArray& topic, bool* has = nullptr) const;
    QList<std::pair<QByteArray, QByteArray>> Messages() const { return m_messages; }
    void Publish(const QByteArray& topic, const QByteArray& payload, bool retain = false);
    void Forget() { m_messages.clear(), m_last.clear(); }
    MqttClient& Client() { return *m_client; }

private:
    std::unique_ptr<MqttClient> m_client;
    QList<std::pair<QByteArray, QByteArray>> m_messages;
    QHash<QByteArray, QByteArray> m_last;
};

// Runs the event loop until `done` holds or the time is up.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10'000);

// build/bin/ampdesk-bridge against a broker, with extra arguments.
class BridgeProcess {
public:
    BridgeProcess(const QString& port, int brokerPort, const QStringList& extra = {});
    ~BridgeProcess();
    QProcess& Process() { return m_process; }
    QByteArray Log();

private:
    QProcess m_process;
    QByteArray m_log;
};

// A free TCP port on 127.0.0.1 (bound once, then let go).
int FreePort();
