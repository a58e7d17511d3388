#include "MqttClient.h"

#include "BridgeLog.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QSet>
#include <QSocketNotifier>
#include <QThread>

#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kHousekeepingMs = 1000;
constexpr int kPacketsPerWakeUp = 64;
// From the start of the name lookup to the CONNACK; also a broker that accepts
// the TCP connection but never answers CONNECT.
constexpr int kConnectTimeoutMs = 10'000;

// libmosquitto wants one init per process before any client exists.
void InitLibraryOnce() {
    static const bool initialised = [] {
        mosquitto_lib_init();
        return true;
    }();
    (void)initialised;
}

QString Reason(int rc, int error = errno) {
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(error));
    if (rc >= 128)  // an MQTT 5 reason code from the broker
        return QString::fromLocal8Bit(mosquitto_reason_string(rc));
    return QString::fromLocal8Bit(mosquitto_strerror(rc));
}

// Brokers ("host:port") that refused MQTT 5, for every client of the process.
QSet<QString>& Mqtt311Brokers() {
    static QSet<QString> brokers;
    return brokers;
}

// A 3.1.1 broker answers an MQTT 5 CONNECT with its own CONNACK, which the
// library reports as reason 132; a 5.0 broker may send either code.
bool RefusesMqtt5(int rc) {
    return rc == MQTT_RC_UNSUPPORTED_PROTOCOL_VERSION || rc == CONNACK_REFUSED_PROTOCOL_VERSION;
}

// What the connect thread hands back to the owner's thread.
struct ConnectOutcome {
    mosquitto* mosq = nullptr;
    int rc = MOSQ_ERR_UNKNOWN;
    int error = 0;
};

}  // namespace

MqttClient::MqttClient(Settings settings, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)) {
    InitLibraryOnce();
    m_housekeeping.setInterval(kHousekeepingMs);
    connect(&m_housekeeping, &QTimer::timeout, this, &MqttClient::OnHousekeeping);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &MqttClient::TryConnect);
    m_connectTimeout.setSingleShot(true);
    connect(&m_connectTimeout, &QTimer::timeout, this, [this] {
        const bool open = m_mosq != nullptr && mosquitto_socket(m_mosq) >= 0;
        Lost(QStringLiteral("the MQTT broker %1 did not answer the connection within %2 s")
                 .arg(BrokerName())
                 .arg(kConnectTimeoutMs / 1000));
        if (open)
            mosquitto_disconnect(m_mosq);
    });
}

QString MqttClient::BrokerName() const {
    return QStringLiteral("%1:%2").arg(m_settings.host).arg(m_settings.port);
}

mosquitto* MqttClient::NewLibraryClient(bool mqtt5) {
    mosquitto* mosq = mosquitto_new(
        m_settings.clientId.isEmpty() ? nullptr : m_settings.clientId.constData(), true, this);
    if (mosq == nullptr)
        return nullptr;
    CheckResult(mosquitto_int_option(mosq, MOSQ_OPT_PROTOCOL_VERSION,
                                     mqtt5 ? MQTT_PROTOCOL_V5 : MQTT_PROTOCOL_V311),
                "protocol version");
    mosquitto_connect_callback_set(mosq, &MqttClient::OnConnectCallback);
    mosquitto_disconnect_v5_callback_set(mosq, &MqttClient::OnDisconnectCallback);
    mosquitto_message_callback_set(mosq, &MqttClient::OnMessageCallback);
    // Packets wait in the library until the socket's write notifier fires, so
    // the messages of one pass of the event loop leave together, and the
    // connect thread writes nothing: its CONNECT leaves from this thread.
    CheckResult(mosquitto_threaded_set(mosq, true), "queued writes");
    // A status change goes to the broker the moment it is known, not held back
    // until the broker acknowledges the previous one.
    CheckResult(mosquitto_int_option(mosq, MOSQ_OPT_TCP_NODELAY, 1), "no-delay");
    if (!m_settings.user.isEmpty()) {
        CheckResult(mosquitto_username_pw_set(
                        mosq, m_settings.user.constData(),
                        m_settings.password.isEmpty() ? nullptr : m_settings.password.constData()),
                    "user name");
    }
    if (!m_settings.caFile.isEmpty()) {
        const QByteArray cert = m_settings.certFile.toLocal8Bit();
        const QByteArray key = m_settings.keyFile.toLocal8Bit();
        CheckResult(mosquitto_tls_set(mosq, m_settings.caFile.toLocal8Bit().constData(), nullptr,
                                      cert.isEmpty() ? nullptr : cert.constData(),
                                      key.isEmpty() ? nullptr : key.constData(), nullptr),
                    "TLS");
    }
    if (!m_settings.willTopic.isEmpty()) {
        CheckResult(mosquitto_will_set(mosq, m_settings.willTopic.constData(),
                                       static_cast<int>(m_settings.willPayload.size()),
                                       m_settings.willPayload.constData(), 1, true),
                    "last will");
    }
    return mosq;
}

MqttClient::~MqttClient() {
    DropSocket();
    if (m_mosq != nullptr)
        mosquitto_destroy(m_mosq);
}

// The same setting is refused the same way at every attempt: said once.
void MqttClient::CheckResult(int rc, const char* what) {
    static QSet<QByteArray> reported;
    if (rc != MOSQ_ERR_SUCCESS && !reported.contains(what)) {
        reported.insert(what);
        BridgeLog(QStringLiteral("MQTT %1 setting refused: %2").arg(what, Reason(rc)));
    }
}

void MqttClient::Start() {
    if (m_state == State::Idle && !m_retry.isActive())
        TryConnect();
}

// libmosquitto's own non-blocking connect still looks the name up with a
// blocking getaddrinfo(), and it takes no MQTT 5 CONNECT properties (the
// packet size). Looking the name up first (QHostInfo) and handing the library
// an address would make its TLS check the certificate against that address
// instead of the broker's name. So the library's blocking connect, with the
// broker's name and the properties, runs on a thread of its own, on a client
// no other thread touches until it comes back. An attempt given up meanwhile
// (time-out, Disconnect, this object gone) has its client destroyed when its
// thread ends; a stalled lookup therefore costs a sleeping thread, never the
// event loop.
void MqttClient::TryConnect() {
    DropSocket();
    if (m_mosq != nullptr)
        mosquitto_destroy(std::exchange(m_mosq, nullptr));
    m_state = State::Connecting;
    m_connectTimeout.start(kConnectTimeoutMs);
    m_mqtt5 = !Mqtt311Brokers().contains(BrokerName());
    auto outcome = std::make_shared<ConnectOutcome>();
    outcome->mosq = NewLibraryClient(m_mqtt5);
    if (outcome->mosq == nullptr) {
        Lost(QStringLiteral("cannot create an MQTT client: %1").arg(Reason(MOSQ_ERR_NOMEM)));
        return;
    }
    mosquitto_property* properties = nullptr;
    if (m_mqtt5 && m_settings.maximumPacketSize > 0) {
        CheckResult(mosquitto_property_add_int32(&properties, MQTT_PROP_MAXIMUM_PACKET_SIZE,
                                                 m_settings.maximumPacketSize),
                    "maximum packet size");
    }
    const QByteArray host = m_settings.host.toLocal8Bit();
    const int port = m_settings.port;
    QThread* worker = QThread::create([outcome, host, port, properties]() mutable {
        outcome->rc = mosquitto_connect_bind_v5(outcome->mosq, host.constData(), port,
                                                kKeepAliveSeconds, nullptr, properties);
        outcome->error = errno;
        mosquitto_property_free_all(&properties);
    });
    // `finished` comes from the worker; the thread object lives here, so this
    // runs in this thread, after the worker's writes.
    connect(worker, &QThread::finished, worker,
            [worker, outcome, attempt = ++m_attempt, owner = QPointer<MqttClient>(this)] {
                if (owner == nullptr ||
                    !owner->TakeConnected(attempt, outcome->mosq, outcome->rc, outcome->error))
                    mosquitto_destroy(outcome->mosq);
                worker->deleteLater();
            });
    worker->start();
}

bool MqttClient::TakeConnected(quint64 attempt, mosquitto* mosq, int rc, int error) {
    if (attempt != m_attempt || m_state != State::Connecting)
        return false;
    m_mosq = mosq;
    if (rc != MOSQ_ERR_SUCCESS || mosquitto_socket(m_mosq) < 0) {
        Lost(QStringLiteral("cannot reach the MQTT broker %1: %2")
                 .arg(BrokerName())
                 .arg(Reason(rc, error)));
        return true;
    }
    WatchSocket();
    return true;
}

void MqttClient::FallBackToMqtt311() {
    m_fallingBack = true;
    if (Mqtt311Brokers().contains(BrokerName()))
        return;
    Mqtt311Brokers().insert(BrokerName());
    BridgeLog(QStringLiteral("the MQTT broker %1 refused MQTT 5; using MQTT 3.1.1 with it (no "
                             "packet size limit is asked of it)")
                  .arg(BrokerName()));
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
    DropSocket();
    m_connectTimeout.stop();
    // The library's callback and the failed call that ran it both report one loss.
    if (m_state != State::Connecting && m_state != State::Connected)
        return;
    const bool wasConnected = m_state == State::Connected;
    m_state = State::Idle;
    ++m_attempt;
    if (std::exchange(m_fallingBack, false)) {
        m_retry.start(0);
        return;
    }
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
    // The loss that follows (or the time-out, should the broker keep the
    // connection open) retries at once in 3.1.1.
    if (rc != 0 && client->m_mqtt5 && RefusesMqtt5(rc)) {
        client->FallBackToMqtt311();
        return;
    }
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
    // An MQTT 5 broker keeps a bigger message; a 3.1.1 one cannot be asked to.
    const quint32 limit = client->m_settings.maximumPacketSize;
    const qint64 size = qint64{message->payloadlen} + qint64(std::strlen(message->topic));
    if (limit > 0 && size > qint64{limit}) {
        client->m_oversized.Write(QStringLiteral("an MQTT message of %1 bytes on %2 dropped: "
                                                 "the limit is %3")
                                      .arg(size)
                                      .arg(QString::fromUtf8(message->topic).left(256))
                                      .arg(limit));
        return;
    }
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
                                          m_mqtt5 ? MQTT_SUB_OPT_RETAIN_AS_PUBLISHED : 0, nullptr);
    UpdateWriteInterest();
    return rc == MOSQ_ERR_SUCCESS;
}

void MqttClient::Flush(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (m_mosq != nullptr && mosquitto_socket(m_mosq) >= 0 && mosquitto_want_write(m_mosq) &&
           !deadline.hasExpired()) {
        pollfd fd{mosquitto_socket(m_mosq), POLLOUT, 0};
        if (::poll(&fd, 1, static_cast<int>(deadline.remainingTime())) <= 0)
            return;
        if (mosquitto_loop_write(m_mosq, 1) != MOSQ_ERR_SUCCESS)
            return;
    }
}

void MqttClient::Disconnect() {
    ++m_attempt;
    m_retry.stop();
    m_connectTimeout.stop();
    // A connection still waiting for its CONNACK is closed properly too: the
    // broker would otherwise publish its will when it times out.
    const bool open = (m_state == State::Connected || m_state == State::Connecting) &&
                      m_mosq != nullptr && mosquitto_socket(m_mosq) >= 0;
    m_state = State::Idle;
    DropSocket();
    if (open) {
        mosquitto_disconnect(m_mosq);
        Flush(200);
    }
}
