#include "Bridge.h"

#include "BridgeLog.h"
#include "BridgeReceiver.h"
#include "CommandChannel.h"
#include "Discovery.h"
#include "FailureText.h"
#include "MqttClient.h"
#include "ValueCheck.h"
#include "Windows1252.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

const QByteArray kOnline = QByteArrayLiteral("online");
const QByteArray kOffline = QByteArrayLiteral("offline");
constexpr qsizetype kMaxRawBytes = 128;
// A refused payload is quoted back only this far: an oversized message must
// not be echoed whole.
constexpr qsizetype kMaxEchoedBytes = 256;
// Retained commands remembered so each is answered once; a broker holding
// more than this gets the rest answered again at a reconnect.
constexpr qsizetype kMaxRetainedAnswered = 1024;

// A text from a message, cut for quoting in an error or the log.
QString Quoted(const QByteArray& text) {
    return QString::fromUtf8(text.left(kMaxEchoedBytes));
}

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
    // Most values are plain ASCII, the same in both code pages.
    const bool ascii = std::all_of(receiverText.cbegin(), receiverText.cend(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii ? receiverText : FromWindows1252(receiverText).toUtf8();
}

}  // namespace

Bridge::Bridge(const BridgeOptions& options, BridgeReceiver& receiver, MqttClient& mqtt,
               QObject* parent)
    : QObject(parent),
      m_options(options),
      m_receiver(receiver),
      m_mqtt(mqtt),
      m_base(options.BaseTopic()) {
    m_replyWindow.setSingleShot(true);
    connect(&m_mqtt, &MqttClient::Connected, this, &Bridge::OnMqttConnected);
    connect(&m_mqtt, &MqttClient::MessageReceived, this, &Bridge::OnMessage);
    connect(&m_receiver, &BridgeReceiver::Connected, this, &Bridge::OnReceiverConnected);
    connect(&m_receiver, &BridgeReceiver::Lost, this, &Bridge::OnReceiverLost);
    connect(&m_receiver, &BridgeReceiver::KeyChanged, this, &Bridge::OnKeyChanged);
    connect(&m_receiver, &BridgeReceiver::LineReceived, this, &Bridge::OnLine);
}

void Bridge::OnMqttConnected() {
    m_mqtt.Subscribe(m_base + "/set/#");
    m_mqtt.Subscribe(m_base + "/step/#");
    m_mqtt.Subscribe(m_base + "/command");
    if (m_options.discovery)
        m_mqtt.Subscribe(m_options.discoveryPrefix.toUtf8() + "/status");
    // The broker may have lost what it held (a restart without persistence):
    // everything goes out again.
    m_published.clear();
    m_discovery.clear();
    for (const QByteArray& key : m_receiver.Keys())
        PublishState(key, m_receiver.ValueOf(key));
    PublishAvailability();
    if (m_receiver.IsReady()) {
        PublishInfo();
        if (m_discoveryReady)
            PublishDiscovery();
    }
}

void Bridge::OnReceiverConnected() {
    PublishAvailability();
    PublishInfo();
    PublishDiscoveryAfterTunerReport();
}

void Bridge::OnReceiverLost() {
    m_discoveryReady = false;
    PublishAvailability();
}

// Everything goes out at QoS 0, in the order published: a QoS 1 message waits
// for a free slot among the unacknowledged ones, so an "offline" sent while
// discovery configs await their acknowledgements would still be queued when
// the bridge disconnects, and it could overtake an earlier "online".
void Bridge::PublishOffline() {
    m_mqtt.Publish(m_base + "/availability", kOffline, true);
}

void Bridge::PublishAvailability() {
    m_mqtt.Publish(m_base + "/availability", m_receiver.IsReady() ? kOnline : kOffline, true);
}

void Bridge::PublishInfo() {
    const QJsonObject info{
        {"model", FromWindows1252(m_receiver.Model())},
        {"port", m_receiver.PortName()},
        {"version", QStringLiteral(AMPDESK_BRIDGE_VERSION)},
        {"connected_since", m_receiver.ConnectedSince().toString(Qt::ISODate)},
    };
    m_mqtt.Publish(m_base + "/info", QJsonDocument(info).toJson(QJsonDocument::Compact), true);
}

void Bridge::OnKeyChanged(const QByteArray& key, const QByteArray& value) {
    // A tuner key the receiver reports for the first time (after a band
    // change) may complete a control the discovery removed.
    const bool firstReport = !m_published.contains(key);
    PublishState(key, value);
    if (m_discoveryReady && (ChangesDiscovery(key) || (firstReport && key.startsWith("Tuner"))))
        PublishDiscovery();
}

void Bridge::PublishState(const QByteArray& key, const QByteArray& value) {
    if (!IsTopicSafe(key))
        return;
    const QByteArray payload = Utf8(value);
    const auto it = m_published.constFind(key);
    if (it != m_published.cend() && *it == payload)
        return;
    if (m_mqtt.Publish(m_base + "/state/" + key, payload, IsRetainedState(key)))
        m_published.insert(key, payload);
}

void Bridge::PublishDiscoveryAfterTunerReport() {
    // The receiver answers in order: once this query's answer is in, the
    // tuner's report asked for right after the read has arrived too.
    m_receiver.Query("Main.Model", [this](const CommandChannel::Reply&) {
        if (!m_receiver.IsReady())
            return;
        m_discoveryReady = true;
        PublishDiscovery();
    });
}

void Bridge::PublishDiscovery() {
    if (!m_options.discovery || !m_mqtt.IsConnected())
        return;
    DiscoveryContext context;
    context.discoveryPrefix = m_options.discoveryPrefix.toUtf8();
    context.baseTopic = m_base;
    context.name = m_options.name;
    context.node = DiscoveryNode(m_base);
    context.model = FromWindows1252(m_receiver.Model());
    context.version = QStringLiteral(AMPDESK_BRIDGE_VERSION);
    context.knownKey = [this](const QByteArray& key) { return m_receiver.KnownKey(key); };
    context.sourceOptions =
        SourceOptions([this](const QByteArray& key) { return m_receiver.ValueOf(key); });
    for (const DiscoveryMessage& message : DiscoveryMessages(context)) {
        const auto it = m_discovery.constFind(message.topic);
        if (it != m_discovery.cend() && *it == message.payload)
            continue;
        if (m_mqtt.Publish(message.topic, message.payload, true))
            m_discovery.insert(message.topic, message.payload);
    }
}

void Bridge::OnLine(const QByteArray& line) {
    if (m_replyWindow.isActive() && !line.isEmpty())
        m_mqtt.Publish(m_base + "/reply", Utf8(line), false);
}

void Bridge::OnMessage(const QByteArray& topic, const QByteArray& payload, bool retained) {
    if (m_options.discovery && topic == m_options.discoveryPrefix.toUtf8() + "/status") {
        // Home Assistant started again and forgot what was announced.
        if (payload == kOnline && m_discoveryReady) {
            m_discovery.clear();
            PublishDiscovery();
        }
        return;
    }
    const QByteArray setPrefix = m_base + "/set/";
    const QByteArray stepPrefix = m_base + "/step/";
    const bool command =
        topic.startsWith(setPrefix) || topic.startsWith(stepPrefix) || topic == m_base + "/command";
    if (command && retained) {
        // An empty retained message is how a retained command is cleared.
        if (payload.isEmpty())
            return;
        if (!AnsweredBefore(topic, payload))
            Refuse(topic, payload, QStringLiteral("a retained command is never carried out"));
        return;
    }
    if (topic.startsWith(setPrefix))
        HandleSet(topic, topic.mid(setPrefix.size()), payload);
    else if (topic.startsWith(stepPrefix))
        HandleStep(topic, topic.mid(stepPrefix.size()), payload);
    else if (topic == m_base + "/command")
        HandleCommand(topic, payload);
}

bool Bridge::AnsweredBefore(const QByteArray& topic, const QByteArray& payload) {
    const auto it = m_retainedAnswered.constFind(topic);
    if (it != m_retainedAnswered.cend() && *it == payload)
        return true;
    if (m_retainedAnswered.size() < kMaxRetainedAnswered)
        m_retainedAnswered.insert(topic, payload);
    return false;
}

void Bridge::Refuse(const QByteArray& topic, const QByteArray& payload, const QString& reason,
                    bool log) {
    const QJsonObject error{
        {"topic", Quoted(topic)},
        {"payload", Quoted(payload)},
        {"reason", reason},
    };
    m_mqtt.Publish(m_base + "/error", QJsonDocument(error).toJson(QJsonDocument::Compact), false);
    if (log)
        m_refusalLog.Write(QStringLiteral("refused %1: %2").arg(Quoted(topic), reason));
}

void Bridge::ReportConsoleRefusal(const QString& peer, const QByteArray& command,
                                  const QString& reason) {
    Refuse("console " + peer.toUtf8(), command, reason);
}

QByteArray Bridge::TargetKey(const QByteArray& topic, const QByteArray& key,
                             const QByteArray& payload) {
    if (!m_receiver.IsReady()) {
        Refuse(topic, payload, QStringLiteral("the receiver is not connected"));
        return {};
    }
    const QByteArray known = m_receiver.KnownKey(key);
    if (known.isEmpty() || !IsLineSafe(key)) {
        Refuse(topic, payload,
               QStringLiteral("this receiver has no setting \"%1\"").arg(Quoted(key)));
        return {};
    }
    return known;
}

void Bridge::HandleSet(const QByteArray& topic, const QByteArray& key, const QByteArray& payload) {
    const QByteArray known = TargetKey(topic, key, payload);
    if (known.isEmpty())
        return;
    QByteArray value = payload;
    // The source selects send the source's name; the receiver takes its number.
    if (known.toUpper().endsWith(".SOURCE")) {
        const QStringList options =
            SourceOptions([this](const QByteArray& k) { return m_receiver.ValueOf(k); });
        const qsizetype index = options.indexOf(QString::fromUtf8(payload).trimmed());
        if (index >= 0)
            value = QByteArray::number(index + 1);
    }
    const SetCheck check = CheckSetValue(known, value, {m_receiver.ModelBit(), m_options.allowRaw});
    if (!check.refusal.isEmpty())
        return Refuse(topic, payload, check.refusal);
    const bool queued = m_receiver.Set(
        known, check.value, [this, topic, payload](const CommandChannel::Reply& reply) {
            // A set waits for its answer; anything else refuses it.
            if (!reply.Answered())
                Refuse(topic, payload, UnansweredText(reply.outcome));
        });
    if (!queued)
        RefuseBusy(topic, payload);
}

// A flood is answered message by message on error, but logged once a second.
void Bridge::RefuseBusy(const QByteArray& topic, const QByteArray& payload) {
    const QString reason =
        QStringLiteral("not sent: MQTT has %1 commands waiting for the receiver already")
            .arg(BridgeReceiver::kShare);
    Refuse(topic, payload, reason, false);
    m_busyLog.Write(QStringLiteral("refused %1: %2").arg(Quoted(topic), reason));
}

void Bridge::HandleStep(const QByteArray& topic, const QByteArray& key, const QByteArray& payload) {
    const QByteArray known = TargetKey(topic, key, payload);
    if (known.isEmpty())
        return;
    if (!IsSteppable(known))
        return Refuse(topic, payload, QStringLiteral("only volumes, trims and the tuner step"));
    const QByteArray direction = payload.trimmed().toLower();
    if (direction != "up" && direction != "down")
        return Refuse(topic, payload, QStringLiteral("a step is \"up\" or \"down\""));
    if (!m_receiver.Step(known, direction == "up"))
        RefuseBusy(topic, payload);
}

void Bridge::HandleCommand(const QByteArray& topic, const QByteArray& payload) {
    if (!m_options.allowRaw)
        return Refuse(topic, payload, QStringLiteral("raw commands are off (--allow-raw)"));
    if (!m_receiver.IsReady())
        return Refuse(topic, payload, QStringLiteral("the receiver is not connected"));
    if (!IsLineSafe(payload) || payload.isEmpty() || payload.size() > kMaxRawBytes)
        return Refuse(topic, payload,
                      QStringLiteral("a command is one line of 1 to %1 bytes").arg(kMaxRawBytes));
    const QByteArray line = ToWindows1252(QString::fromUtf8(payload));
    if (!m_receiver.Submit(BridgeReceiver::kMqtt, line, {},
                           [this] { m_replyWindow.start(CommandChannel::kReplyTimeoutMs); }))
        RefuseBusy(topic, payload);
}
