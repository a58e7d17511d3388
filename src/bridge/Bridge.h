#pragma once

#include "BridgeLog.h"
#include "BridgeOptions.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

class BridgeReceiver;
class MqttClient;

// The receiver on MQTT. Under base = "<prefix>/<name>":
//   availability  "online" once the receiver is connected and read, "offline"
//                 when it is lost or the bridge stops (retained; the last will)
//   state/<Key>   the receiver's value, retained, sent again only on a change
//   set/<Key>     a value to send as Key=value, checked first
//   step/<Key>    "up" or "down", sent as Key+ / Key-
//   command       a raw line (--allow-raw); the lines within the reply time
//                 that follow go to reply
//   info          model, port, version, time connected (retained JSON)
//   error         a refused message: topic, payload and reason (JSON); also
//                 a console's command the receiver could not be sent
// State topics show only what the receiver says: a set comes back through
// the receiver's answer or status line, never from the request. A command
// published with the retain flag is never carried out (the broker would hand
// it over again at every reconnect); each is answered once on error, and an
// empty one (which clears it at the broker) not at all. Refusals are logged at
// most once a second.
class Bridge : public QObject {
    Q_OBJECT

public:
    Bridge(const BridgeOptions& options, BridgeReceiver& receiver, MqttClient& mqtt,
           QObject* parent = nullptr);

    // "offline" on the broker, sent before the caller disconnects.
    void PublishOffline();
    // A console's command on the shared port was not carried out.
    void ReportConsoleRefusal(const QString& peer, const QByteArray& command,
                              const QString& reason);

private:
    void OnMqttConnected();
    void OnReceiverConnected();
    void OnReceiverLost();
    void OnKeyChanged(const QByteArray& key, const QByteArray& value);
    void OnLine(const QByteArray& line);
    void OnMessage(const QByteArray& topic, const QByteArray& payload, bool retained);
    // True when a retained command was answered before (it came again on a reconnect).
    bool AnsweredBefore(const QByteArray& topic, const QByteArray& payload);

    // The receiver's spelling of the key a set or step names; empty, after
    // the refusal is published, when not connected or the key is unknown.
    QByteArray TargetKey(const QByteArray& topic, const QByteArray& key, const QByteArray& payload);
    void HandleSet(const QByteArray& topic, const QByteArray& key, const QByteArray& payload);
    void HandleStep(const QByteArray& topic, const QByteArray& key, const QByteArray& payload);
    void HandleCommand(const QByteArray& topic, const QByteArray& payload);
    void Refuse(const QByteArray& topic, const QByteArray& payload, const QString& reason,
                bool log = true);
    void RefuseBusy(const QByteArray& topic, const QByteArray& payload);

    void PublishState(const QByteArray& key, const QByteArray& value);
    void PublishAvailability();
    void PublishInfo();
    void PublishDiscovery();
    // After the tuner's report that follows the read: the discovery needs to
    // know which tuner keys the receiver has.
    void PublishDiscoveryAfterTunerReport();

    BridgeOptions m_options;
    BridgeReceiver& m_receiver;
    MqttClient& m_mqtt;
    QByteArray m_base;
    // What the broker holds for each state topic, so only changes go out.
    QHash<QByteArray, QByteArray> m_published;
    // The discovery configs last sent, by topic.
    QHash<QByteArray, QByteArray> m_discovery;
    bool m_discoveryReady = false;
    // The retained commands answered on error, by topic.
    QHash<QByteArray, QByteArray> m_retainedAnswered;
    LimitedLog m_refusalLog;
    LimitedLog m_busyLog;
    QTimer m_replyWindow;
};
