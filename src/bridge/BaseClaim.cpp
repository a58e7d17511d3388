#include "BaseClaim.h"

#include "BridgeLog.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

namespace {

QByteArray NewInstanceId() {
    const quint64 value = QRandomGenerator::system()->generate64();
    return QByteArray::number(value, 16).rightJustified(16, '0');
}

// The claim connection has an id of its own beside the bridge's, and a will
// that clears the claim.
MqttClient::Settings ClaimSettings(MqttClient::Settings settings, const QByteArray& topic,
                                   const QByteArray& id) {
    settings.clientId += "/claim/" + id;
    settings.willTopic = topic;
    settings.willPayload.clear();
    return settings;
}

// Another program's text on the topic counts as a claim of its own.
QByteArray IdOf(const QByteArray& claim) {
    const QJsonObject object = QJsonDocument::fromJson(claim).object();
    const QString id = object.value(QStringLiteral("id")).toString();
    return id.isEmpty() ? claim : id.toUtf8();
}

}  // namespace

BaseClaim::BaseClaim(MqttClient::Settings settings, const QByteArray& baseTopic, QObject* parent)
    : QObject(parent),
      m_topic(baseTopic + "/instance"),
      m_id(NewInstanceId()),
      m_claim(QJsonDocument(QJsonObject{{"id", QString::fromLatin1(m_id)},
                                        {"started", QDateTime::currentDateTimeUtc().toString(
                                                        Qt::ISODateWithMs)}})
                  .toJson(QJsonDocument::Compact)),
      m_client(ClaimSettings(std::move(settings), m_topic, m_id)) {
    connect(&m_client, &MqttClient::Connected, this, &BaseClaim::OnConnected);
    connect(&m_client, &MqttClient::MessageReceived, this,
            [this](const QByteArray& topic, const QByteArray& payload, bool) {
                OnMessage(topic, payload);
            });
    m_repeat.setInterval(kRepeatMs);
    connect(&m_repeat, &QTimer::timeout, this, &BaseClaim::PublishClaim);
    m_stale.setSingleShot(true);
    m_stale.setInterval(kStaleMs);
    connect(&m_stale, &QTimer::timeout, this, [this] {
        BridgeLog(QStringLiteral("the claim on %1 was not repeated for %2 s: clearing it")
                      .arg(QString::fromUtf8(m_topic))
                      .arg(kStaleMs / 1000));
        m_client.Publish(m_topic, {}, true);
    });
}

void BaseClaim::Start() {
    m_client.Start();
}

void BaseClaim::Release() {
    m_repeat.stop();
    m_stale.stop();
    if (m_state == State::Held)
        m_client.Publish(m_topic, {}, true);
    m_client.Disconnect();
}

// The broker hands over what it holds on the topic before it handles the
// claim sent next: the first claim seen is the one that held the base, if any.
void BaseClaim::OnConnected() {
    m_holder.clear();
    m_client.Subscribe(m_topic);
    PublishClaim();
}

void BaseClaim::PublishClaim() {
    m_client.Publish(m_topic, m_claim, true);
}

void BaseClaim::OnMessage(const QByteArray& topic, const QByteArray& payload) {
    if (topic != m_topic)
        return;
    if (payload.isEmpty()) {
        // The holder went (its will), or a stale claim was cleared: whoever
        // claims first holds the base, this bridge too if it held it.
        m_holder.clear();
        if (m_state != State::Unknown)
            PublishClaim();
        return;
    }
    const QByteArray id = IdOf(payload);
    if (m_holder.isEmpty())
        m_holder = id;
    if (m_holder == m_id) {
        if (id == m_id)
            SetState(State::Held);
        else
            PublishClaim();  // a later claim: ours stands
        return;
    }
    if (id == m_holder)
        m_stale.start();
    if (id != m_id)
        SetState(State::HeldBack, payload);
}

void BaseClaim::SetState(State state, const QByteArray& otherClaim) {
    if (state == State::Held)
        m_repeat.start();
    else
        m_repeat.stop();
    if (state == m_state)
        return;
    const bool wasHeldBack = m_state == State::HeldBack;
    m_state = state;
    if (state == State::Held) {
        m_stale.stop();
        if (wasHeldBack)
            BridgeLog(QStringLiteral("the other bridge under %1 went: publishing")
                          .arg(QString::fromUtf8(m_topic.chopped(9))));
        emit Held();
        return;
    }
    m_stale.start();
    BridgeLog(QStringLiteral("another bridge publishes under %1 (its claim: %2): publishing "
                             "nothing until it goes")
                  .arg(QString::fromUtf8(m_topic.chopped(9)), QString::fromUtf8(otherClaim)));
    emit HeldBack();
}
