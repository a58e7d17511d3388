#include "MqttClient.h"

#include "BridgeLog.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTcpSocket>

#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kHousekeepingMs = 1000;
constexpr int kPacketsPerWakeUp = 64;
// A broker that accepts the TCP connection but never answers CONNECT.
constexpr int kConnectTimeoutMs = 10'000;

// libmosquitto wants one init per process before any client exists.
void InitLibraryOnce() {
    static const bool initialised = [] {
        mosquitto_lib_init();
        return true;
    }();
    (void)initialised;
}

QString Reason(int rc) {
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (rc >= 128)  // an MQTT 5 reason code from the broker
        return QString::fromLocal8Bit(mosquitto_reason_string(rc));
    return QString::fromLocal8Bit(mosquitto_strerror(rc));
}

}  // namespace

MqttClient::MqttClient(Settings settings, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)) {
    InitLibraryOnce();
    m_mosq = mosquitto_new(
        m_settings.clientId.isEmpty() ? nullptr : m_settings.clientId.constData(), true, this);
    if (m_mosq == nullptr) {
        BridgeLog(QStringLiteral("cannot create an MQTT client: %1").arg(Reason(MOSQ_ERR_NOMEM)));
        m_state = State::Stopped;
        return;
    }
    CheckResult(mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5),
                "protocol version");
    mosquitto_connect_callback_set(m_mosq, &MqttClient::OnConnectCallback);
    mosquitto_disconnect_v5_callback_set(m_mosq, &MqttClient::OnDisconnectCallback);
    mosquitto_message_callback_set(m_mosq, &MqttClient::OnMessageCallback);
    // Packets wait in the library until the socket's write notifier fires, so
    // the messages of one pass of the event loop leave together.
    CheckResult(mosquitto_threaded_set(m_mosq, true), "queued writes");
    // A status change goes to the broker the moment it is known, not held back
    // until the broker acknowledges the previous one.
    CheckResult(mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1), "no-delay");
    if (!m_settings.user.isEmpty()) {
        CheckResult(mosquitto_username_pw_set(
                        m_mosq, m_settings.user.constData(),
                        m_settings.password.isEmpty() ? nullptr : m_settings.password.constData()),
                    "user name");
    }
    if (!m_settings.caFile.isEmpty()) {
        const QByteArray cert = m_settings.certFile.toLocal8Bit();
        const QByteArray key = m_settings.keyFile.toLocal8Bit();
        CheckResult(mosquitto_tls_set(m_mosq, m_settings.caFile.toLocal8Bit().constData(), nullptr,
                                      cert.isEmpty() ? nullptr : cert.constData(),
                                      key.isEmpty() ? nullptr : key.constData(), nullptr),
                    "TLS");
    }
    if (!m_settings.willTopic.isEmpty()) {
        CheckResult(mosquitto_will_set(m_mosq, m_settings.willTopic.constData(),
                                       static_cast<int>(m_settings.willPayload.size()),
                                       m_settings.willPayload.constData(), 1, true),
                    "last will");
    }

    m_housekeeping.setInterval(kHousekeepingMs);
    connect(&m_housekeeping, &QTimer::timeout, this, &MqttClient::OnHousekeeping);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &MqttClient::TryConnect);
    m_connectTimeout.setSingleShot(true);
    connect(&m_connectTimeout, &QTimer::timeout, this, [this] {
        Lost(QStringLiteral("the broker did not answer the connection within %1 s")
                 .arg(kConnectTimeoutMs / 1000));
        mosquitto_disconnect(m_mosq);
    });
}

MqttClient::~MqttClient() {
    DropSocket();
    if (m_mosq != nullptr)
        mosquitto_destroy(m_mosq);
}

void MqttClient::CheckResult(int rc, const char* what) {
    if (rc != MOSQ_ERR_SUCCESS)
        BridgeLog(QStringLiteral("MQTT %1 setting refused: %2").arg(what, Reason(rc)));
}

void MqttClient::Start() {
    if (m_state == State::Idle && !m_retry.isActive())
        TryConnect();
}

// libmosquitto takes MQTT 5 connect properties (the packet size) only in its
// blocking connect. A probe connection, made without blocking, shows first
// that the broker answers; the library's connect to it then returns at once
// instead of hanging on an unreachable host.
void MqttClient::TryConnect() {
    if (m_state == State::Stopped || m_mosq == nullptr)
        return;
    m_state = State::Connecting;
    DropProbe();
    m_probe = new QTcpSocket(this);
    connect(m_probe, &QTcpSocket::connected, this, &MqttClient::ConnectLibrary);
    connect(m_probe, &QTcpSocket::errorOccurred, this, [this] {
        Lost(QStringLiteral("cannot reach the MQTT broker %1:%2: %3")
                 .arg(m_settings.host)
                 .arg(m_settings.port)
                 .arg(m_probe->errorString()));
    });
    m_probe->connectToHost(m_settings.host, static_cast<quint16>(m_settings.port));
    m_connectTimeout.start(kConnectTimeoutMs);
}

void MqttClient::DropProbe() {
    if (m_probe == nullptr)
        return;
    m_probe->disconnect(this);
    m_probe->abort();
    m_probe->deleteLater();
    m_probe = nullptr;
}

void MqttClient::ConnectLibrary() {
    DropProbe();
    mosquitto_property* properties = nullptr;
    if (m_settings.maximumPacketSize > 0) {
        CheckResult(mosquitto_property_add_int32(&properties, MQTT_PROP_MAXIMUM_PACKET_SIZE,
                                                 m_settings.maximumPacketSize),
                    "maximum packet size");
    }
    const int rc =
        mosquitto_connect_bind_v5(m_mosq, m_settings.host.toLocal8Bit().constData(),
                                  m_settings.port, kKeepAliveSeconds, nullptr, properties);
    mosquitto_property_free_all(&properties);
    if (rc != MOSQ_ERR_SUCCESS || mosquitto_socket(m_mosq) < 0) {
        Lost(QStringLiteral("cannot reach the MQTT broker %1:%2: %3")
                 .arg(m_settings.host)
                 .arg(m_settings.port)
                 .arg(Reason(rc)));
        return;
    }
    WatchSocket();
}

void MqttClient::WatchSocket() {
    DropSocket();
    const int fd = mosquitto_socket(m_mosq);
    m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &MqttClient::OnReadable);
    m_writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &MqttClient::OnWritable);
    m_housekeeping.start();
    UpdateWriteInterest();
}

// Notifiers may be dropped from inside their own activation: they go later.
void MqttClient::DropSocket() {
    for (QSocketNotifier** notifier : {&m_readNotifier, &m_writeNotifier}) {
        if (*notifier == nullptr)
            continue;
        (*notifier)->setEnabled(false);
        (*notifier)->deleteLater();
        *notifier = nullptr;
    }
    m_housekeeping.stop();
}

void MqttClient::UpdateWriteInterest() {
    if (m_writeNotifier != nullptr)
        m_writeNotifier->setEnabled(mosquitto_want_write(m_mosq));
}

// The library reads one packet a call; a burst of messages is read in one
// wake-up, while the socket has more, up to a bound that keeps the loop fair.
void MqttClient::OnReadable() {
    for (int packets = 0; packets < kPacketsPerWakeUp; ++packets) {
        const int rc = mosquitto_loop_read(m_mosq, 1);
        const int fd = mosquitto_socket(m_mosq);
        if (rc != MOSQ_ERR_SUCCESS || fd < 0) {
            Lost(QStringLiteral("lost the MQTT broker: %1").arg(Reason(rc)));
            return;
        }
        pollfd more{fd, POLLIN, 0};
        if (::poll(&more, 1, 0) <= 0)
            break;
    }
    UpdateWriteInterest();
}

// The library sends each packet with its own write(); corked, they leave as
// one TCP segment, and the broker wakes once for all of them.
void MqttClient::OnWritable() {
    const int fd = mosquitto_socket(m_mosq);
    const int on = 1;
    const int off = 0;
    ::setsockopt(fd, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
    const int rc = mosquitto_loop_write(m_mosq, 1);
    // A failed write closes the socket, and its number may be reused already.
    if (mosquitto_socket(m_mosq) == fd)
        ::setsockopt(fd, IPPROTO_TCP, TCP_CORK, &off, sizeof off);
    if (rc != MOSQ_ERR_SUCCESS || mosquitto_socket(m_mosq) < 0) {
        Lost(QStringLiteral("lost the MQTT broker: %1").arg(Reason(rc)));
        return;
    }
    UpdateWriteInterest();
}

void MqttClient::OnHousekeeping() {
    const int rc = mosquitto_loop_misc(m_mosq);
    if (rc != MOSQ_ERR_SUCCESS || mosquitto_socket(m_mosq) < 0) {
        Lost(QStringLiteral("lost the MQTT broker: %1").arg(Reason(rc)));
        return;
    }
    UpdateWriteInterest();
}

void MqttClient::Lost(const QString& reason, bool takenOver) {
    DropProbe();
    DropSocket();
    m_connectTimeout.stop();
    // The library's callback and the failed call that ran it both report one loss.
    if (m_state != State::Connecting && m_state != State::Connected)
        return;
    const bool wasConnected = m_state == State::Connected;
    m_state = State::Idle;
    // A broker that stays away is reported once, not at every retry.
    if (wasConnected || !m_lostReported)
        BridgeLog(QStringLiteral("%1; retrying in %2 s").arg(reason).arg(m_retryMs / 1000.0));
    m_lostReported = true;
    if (takenOver)
        m_retryMs = kLongestRetryMs;
    m_retry.start(m_retryMs);
    m_retryMs = std::min(m_retryMs * 2, kLongestRetryMs);
    if (wasConnected)
        emit ConnectionLost(reason);
}

void MqttClient::OnConnectCallback(mosquitto*, void* self, int rc) {
    auto* client = static_cast<MqttClient*>(self);
    client->m_connectTimeout.stop();
    if (rc != 0) {
        // The library closes the connection next and reports that through the
        // disconnect callback, which schedules the retry.
        if (!client->m_lostReported)
            BridgeLog(QStringLiteral("the MQTT broker refused the connection: %1")
                          .arg(QString::fromLocal8Bit(mosquitto_reason_string(rc))));
        client->m_lostReported = true;
        return;
    }
    client->m_state = State::Connected;
    client->m_retryMs = kFirstRetryMs;
    if (client->m_lostReported)
        BridgeLog(QStringLiteral("connected to the MQTT broker %1:%2")
                      .arg(client->m_settings.host)
                      .arg(client->m_settings.port));
    client->m_lostReported = false;
    emit client->Connected();
}

void MqttClient::OnDisconnectCallback(mosquitto*, void* self, int rc, const mosquitto_property*) {
    auto* client = static_cast<MqttClient*>(self);
    if (client->m_state != State::Connecting && client->m_state != State::Connected)
        return;
    // Called from inside the library's read or housekeeping; the socket is
    // already closed, so the notifiers go now and the retry is scheduled.
    client->Lost(QStringLiteral("lost the MQTT broker: %1").arg(Reason(rc)),
                 rc == MQTT_RC_SESSION_TAKEN_OVER);
}

void MqttClient::OnMessageCallback(mosquitto*, void* self, const mosquitto_message* message) {
    auto* client = static_cast<MqttClient*>(self);
    emit client->MessageReceived(
        QByteArray(message->topic),
        QByteArray(static_cast<const char*>(message->payload), message->payloadlen),
        message->retain);
}

bool MqttClient::Publish(const QByteArray& topic, const QByteArray& payload, bool retain) {
    if (m_state != State::Connected)
        return false;
    const int rc =
        mosquitto_publish(m_mosq, nullptr, topic.constData(), static_cast<int>(payload.size()),
                          payload.constData(), 0, retain);
    UpdateWriteInterest();
    return rc == MOSQ_ERR_SUCCESS;
}

bool MqttClient::Subscribe(const QByteArray& pattern) {
    if (m_state != State::Connected)
        return false;
    // Retain as published: a command someone published with the retain flag
    // shows as such even when it arrives live.
    const int rc = mosquitto_subscribe_v5(m_mosq, nullptr, pattern.constData(), 0,
                                          MQTT_SUB_OPT_RETAIN_AS_PUBLISHED, nullptr);
    UpdateWriteInterest();
    return rc == MOSQ_ERR_SUCCESS;
}

void MqttClient::Flush(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (mosquitto_socket(m_mosq) >= 0 && mosquitto_want_write(m_mosq) &&
           !deadline.hasExpired()) {
        pollfd fd{mosquitto_socket(m_mosq), POLLOUT, 0};
        if (::poll(&fd, 1, static_cast<int>(deadline.remainingTime())) <= 0)
            return;
        if (mosquitto_loop_write(m_mosq, 1) != MOSQ_ERR_SUCCESS)
            return;
    }
}

void MqttClient::Disconnect() {
    DropProbe();
    m_retry.stop();
    m_connectTimeout.stop();
    // A connection still waiting for its CONNACK is closed properly too: the
    // broker would otherwise publish its will when it times out.
    const bool open = (m_state == State::Connected || m_state == State::Connecting) &&
                      mosquitto_socket(m_mosq) >= 0;
    if (m_state != State::Stopped)
        m_state = State::Idle;
    DropSocket();
    if (open) {
        mosquitto_disconnect(m_mosq);
        Flush(200);
    }
}
