#include "Bridge.h"

#include "BridgeLog.h"
#include "BridgeReceiver.h"
#include "MqttClient.h"
#include "Windows1252.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QByteArray kOnline = QByteArrayLiteral("online");
const QByteArray kOffline = QByteArrayLiteral("offline");

// Keys become topic levels: a key that would add levels or wildcards (a
// receiver is not trusted to send only sane keys) is not published.
bool IsTopicSafe(const QByteArray& key) {
    if (key.isEmpty() || key.size() > 128)
        return false;
    for (const char c : key) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte >= 0x7F || c == '/' || c == '+' || c == '#')
            return false;
    }
    return true;
}

QByteArray Utf8(const QByteArray& receiverText) {
    return FromWindows1252(receiverText).toUtf8();
}

}  // namespace

Bridge::Bridge(const BridgeOptions& options, BridgeReceiver& receiver, MqttClient& mqtt,
               QObject* parent)
    : QObject(parent),
      m_options(options),
      m_receiver(receiver),
      m_mqtt(mqtt),
      m_base(options.BaseTopic()) {
    connect(&m_mqtt, &MqttClient::Connected, this, &Bridge::OnMqttConnected);
    connect(&m_receiver, &BridgeReceiver::Connected, this, &Bridge::OnReceiverConnected);
    connect(&m_receiver, &BridgeReceiver::Lost, this, &Bridge::OnReceiverLost);
    connect(&m_receiver, &BridgeReceiver::KeyChanged, this, &Bridge::OnKeyChanged);
}

void Bridge::OnMqttConnected() {
    // The broker may have lost what it held (a restart without persistence):
    // everything goes out again.
    m_published.clear();
    for (const QByteArray& key : m_receiver.Keys())
        PublishState(key, m_receiver.ValueOf(key));
    PublishAvailability();
    if (m_receiver.IsReady())
        PublishInfo();
}

void Bridge::OnReceiverConnected() {
    PublishAvailability();
    PublishInfo();
}

void Bridge::OnReceiverLost() {
    PublishAvailability();
}

void Bridge::PublishOffline() {
    m_mqtt.Publish(m_base + "/availability", kOffline, true, 1);
}

void Bridge::PublishAvailability() {
    m_mqtt.Publish(m_base + "/availability", m_receiver.IsReady() ? kOnline : kOffline, true, 1);
}

void Bridge::PublishInfo() {
    const QJsonObject info{
        {"model", FromWindows1252(m_receiver.Model())},
        {"port", m_receiver.PortName()},
        {"version", QStringLiteral(AMPDESK_BRIDGE_VERSION)},
        {"connected_since", m_receiver.ConnectedSince().toString(Qt::ISODate)},
    };
    m_mqtt.Publish(m_base + "/info", QJsonDocument(info).toJson(QJsonDocument::Compact), true, 1);
}

void Bridge::OnKeyChanged(const QByteArray& key, const QByteArray& value) {
    PublishState(key, value);
}

void Bridge::PublishState(const QByteArray& key, const QByteArray& value) {
    if (!IsTopicSafe(key))
        return;
    const QByteArray payload = Utf8(value);
    const auto it = m_published.constFind(key);
    if (it != m_published.cend() && *it == payload)
        return;
    if (m_mqtt.Publish(m_base + "/state/" + key, payload, true))
        m_published.insert(key, payload);
}
