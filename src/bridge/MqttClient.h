#pragma once

#include "BridgeLog.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

struct mosquitto;
struct mosquitto_message;
struct mqtt5__property;
typedef struct mqtt5__property mosquitto_property;
class QSocketNotifier;

// One connection to an MQTT broker through libmosquitto, driven by the Qt
// event loop of the thread that owns it: the library's socket sits in a read
// notifier (and in a write notifier while the library has bytes queued), and a
// timer runs its keep-alive housekeeping. A published message waits for the
// write notifier, so the messages of one pass of the event loop (a batch of
// status lines) leave in one TCP segment.
//
// Connecting never blocks that loop: the broker's name lookup, the TCP
// connection and the TLS handshake run on a short-lived thread of their own,
// on a library client made for that attempt alone; the connected client is
// handed back, and the CONNECT and its answer go through the event loop like
// any other packet. 10 s after the attempt began without a CONNACK, it is
// given up and tried again.
//
// A broker that cannot be reached, or that goes away for any reason and after
// any time, is tried again after 1 s, then after twice the previous wait, up to
// 30 s; a successful connection resets the wait. Nothing here gives up: a
// restarted broker, a reset connection or a refused login all heal once the
// cause is gone. The broker is given a last will (retained), so that it tells
// subscribers when this client vanishes without saying goodbye.
//
// It speaks MQTT 5: the broker is told the largest packet this client takes,
// so an oversized message never reaches it, and subscriptions keep the retain
// flag as published. A broker that refuses MQTT 5 (unacceptable protocol
// version) is spoken to in MQTT 3.1.1 from then on, by every client of this
// process, which says so once; there a message arriving over the size is
// dropped here instead, and a live message never shows its retain flag. A
// broker that says another client took this one's id over (reason "session
// taken over") is tried again only after the longest wait, so that the two do
// not knock each other off every second.
class MqttClient : public QObject {
    Q_OBJECT

public:
    static constexpr int kFirstRetryMs = 1000;
    static constexpr int kLongestRetryMs = 30'000;

    struct Settings {
        QString host = QStringLiteral("localhost");
        int port = 1883;
        QByteArray clientId;
        QByteArray user;
        QByteArray password;
        QString caFile;    // TLS when set
        QString certFile;  // a client certificate, with its key
        QString keyFile;
        QByteArray willTopic;
        QByteArray willPayload;
        // The largest packet the broker may send this client, and the largest
        // message handed on; 0: no limit.
        quint32 maximumPacketSize = 0;
    };

    explicit MqttClient(Settings settings, QObject* parent = nullptr);
    ~MqttClient() override;
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Starts connecting; retries on its own until Disconnect. Again after a
    // Disconnect, too.
    void Start();
    // Sends DISCONNECT (no will) after what is queued, and stops retrying.
    void Disconnect();
    bool IsConnected() const { return m_state == State::Connected; }

    // False, with nothing sent, while not connected; the owner publishes its
    // state again on Connected.
    bool Publish(const QByteArray& topic, const QByteArray& payload, bool retain);
    bool Subscribe(const QByteArray& pattern);
    // Writes what the library holds, waiting up to `timeoutMs` for the socket.
    void Flush(int timeoutMs);

signals:
    void Connected();
    void ConnectionLost(const QString& reason);
    // `retained`: the broker kept it (sent on subscribing), or its publisher
    // asked for it to be kept.
    void MessageReceived(const QByteArray& topic, const QByteArray& payload, bool retained);

private:
    enum class State { Idle, Connecting, Connected };

    static void OnConnectCallback(mosquitto* mosq, void* self, int rc);
    static void OnDisconnectCallback(mosquitto* mosq, void* self, int rc,
                                     const mosquitto_property* properties);
    static void OnMessageCallback(mosquitto* mosq, void* self, const mosquitto_message* message);

    void TryConnect();
    // A library client with this one's settings, for one connection attempt.
    mosquitto* NewLibraryClient(bool mqtt5);
    // The attempt's thread is done: its client becomes this one's unless the
    // attempt was given up meanwhile. False: the caller destroys `mosq`.
    bool TakeConnected(quint64 attempt, mosquitto* mosq, int rc, int error);
    void FallBackToMqtt311();
    void WatchSocket();
    void DropSocket();
    void UpdateWriteInterest();
    void OnReadable();
    void OnWritable();
    void OnHousekeeping();
    // The connection ended or never came: log once, retry after the back-off.
    void Lost(const QString& reason, bool takenOver = false);
    static void CheckResult(int rc, const char* what);
    QString BrokerName() const;

    Settings m_settings;
    // The client of the last connection attempt that came back from its thread.
    mosquitto* m_mosq = nullptr;
    State m_state = State::Idle;
    // Counts attempts; one that is given up no longer matches.
    quint64 m_attempt = 0;
    bool m_mqtt5 = true;
    // The CONNACK refused MQTT 5: the loss that follows is retried at once.
    bool m_fallingBack = false;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    QTimer m_housekeeping;
    QTimer m_retry;
    QTimer m_connectTimeout;
    LimitedLog m_oversized;
    int m_retryMs = kFirstRetryMs;
    bool m_lostReported = false;
};
