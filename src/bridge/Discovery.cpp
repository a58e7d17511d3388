#include "Discovery.h"

#include "ReceiverShape.h"
#include "ValueCheck.h"
#include "Windows1252.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>

namespace {

enum class Component { Switch, Number, Select, Sensor };

struct ControlRow {
    Component component;
    const char* object;  // object id, "<zone>" replaced by main, zone2, ...
    const char* label;
    const char* parameter;       // after the zone's section
    bool perZone;                // main zone and zones 2 to 4; else a full key
    const char* unit = nullptr;  // unit_of_measurement
};

constexpr std::array kControlTable = {
    ControlRow{Component::Switch, "power", "Power", "Power", true},
    ControlRow{Component::Switch, "mute", "Mute", "Mute", true},
    ControlRow{Component::Number, "volume", "Volume", "Volume", true, "dB"},
    ControlRow{Component::Select, "source", "Source", "Source", true},
    ControlRow{Component::Select, "listening_mode", "Listening mode", "Main.ListeningMode", false},
    ControlRow{Component::Number, "bass", "Bass", "Main.Bass", false, "dB"},
    ControlRow{Component::Number, "treble", "Treble", "Main.Treble", false, "dB"},
    ControlRow{Component::Number, "center_dialog", "Center dialog", "Main.CenterDialog", false,
               "dB"},
    ControlRow{Component::Number, "trim_center", "Center trim", "Main.Trim.Center", false, "dB"},
    ControlRow{Component::Number, "trim_surround", "Surround trim", "Main.Trim.Surround", false,
               "dB"},
    ControlRow{Component::Number, "trim_sub", "Sub trim", "Main.Trim.Sub", false, "dB"},
    ControlRow{Component::Select, "tuner_band", "Tuner band", "Tuner.Band", false},
    ControlRow{Component::Number, "tuner_preset", "Tuner preset", "Tuner.Preset", false},
    ControlRow{Component::Sensor, "tuner_fm_frequency", "FM frequency", "Tuner.FM.Frequency", false,
               "MHz"},
    ControlRow{Component::Sensor, "tuner_am_frequency", "AM frequency", "Tuner.AM.Frequency", false,
               "kHz"},
    ControlRow{Component::Sensor, "tuner_xm_channel", "XM channel", "Tuner.XM.Channel", false},
    ControlRow{Component::Sensor, "tuner_xm_channel_name", "XM channel name",
               "Tuner.XM.ChannelName", false},
    ControlRow{Component::Sensor, "tuner_rds_name", "RDS name", "Tuner.FM.RDSName", false},
    ControlRow{Component::Sensor, "tuner_rds_text", "RDS text", "Tuner.FM.RDSText", false},
    ControlRow{Component::Sensor, "tuner_xm_name", "XM artist", "Tuner.XM.Name", false},
    ControlRow{Component::Sensor, "tuner_xm_title", "XM title", "Tuner.XM.Title", false},
};

struct Zone {
    const char* section;
    const char* object;
    const char* label;
};
constexpr std::array<Zone, 4> kZones{{
    {"Main", "main", "Main"},
    {"Zone2", "zone2", "Zone 2"},
    {"Zone3", "zone3", "Zone 3"},
    {"Zone4", "zone4", "Zone 4"},
}};

const char* ComponentName(Component component) {
    switch (component) {
        case Component::Switch:
            return "switch";
        case Component::Number:
            return "number";
        case Component::Select:
            return "select";
        case Component::Sensor:
            return "sensor";
    }
    return "sensor";
}

// The source number on the wire shown as its name: a list literal in the
// template, written as JSON, which the template language reads the same way.
QString SourceTemplate(const QStringList& options) {
    const QByteArray list =
        QJsonDocument(QJsonArray::fromStringList(options)).toJson(QJsonDocument::Compact);
    return QStringLiteral(
               "{% set n = %1 %}{{ n[value|int - 1] if 0 < value|int <= n|length "
               "else value }}")
        .arg(QString::fromUtf8(list));
}

QJsonObject Config(const DiscoveryContext& context, const ControlRow& row, const QByteArray& key,
                   const QByteArray& objectId, const QString& label) {
    const QByteArray& node = context.node;
    const QString base = QString::fromUtf8(context.baseTopic);
    QJsonObject device{
        {"identifiers", QJsonArray{QStringLiteral("ampdesk_%1").arg(QString::fromUtf8(node))}},
        {"name", context.name},
        {"manufacturer", "Velmar"},
        {"model", context.model},
        {"sw_version", context.version},
    };
    QJsonObject config{
        {"name", label},
        {"unique_id",
         QStringLiteral("ampdesk_%1_%2").arg(QString::fromUtf8(node), QString::fromUtf8(objectId))},
        {"device", device},
        {"availability_topic", base + QStringLiteral("/availability")},
        {"state_topic", base + QStringLiteral("/state/") + QString::fromUtf8(key)},
    };
    if (row.unit != nullptr)
        config.insert("unit_of_measurement", row.unit);
    if (row.component == Component::Sensor) {
        if (row.unit != nullptr)
            config.insert("device_class", "frequency");
        return config;
    }
    config.insert("command_topic", base + QStringLiteral("/set/") + QString::fromUtf8(key));
    if (row.component == Component::Switch) {
        config.insert("payload_on", "On");
        config.insert("payload_off", "Off");
        config.insert("state_on", "On");
        config.insert("state_off", "Off");
    } else if (row.component == Component::Number) {
        WholeRange range;
        RangeOf(key, &range);
        config.insert("min", range.minimum);
        config.insert("max", range.maximum);
        config.insert("step", range.step);
    } else if (QByteArray(row.parameter) == "Source") {
        config.insert("options", QJsonArray::fromStringList(context.sourceOptions));
        config.insert("value_template", SourceTemplate(context.sourceOptions));
    } else {
        config.insert("options", QJsonArray::fromStringList(ChoicesOf(key)));
    }
    return config;
}

}  // namespace

std::vector<DiscoveryMessage> DiscoveryMessages(const DiscoveryContext& context) {
    std::vector<DiscoveryMessage> messages;
    const QByteArray& node = context.node;
    const auto add = [&](const ControlRow& row, const QByteArray& wantedKey,
                         const QByteArray& objectId, const QString& label) {
        const QByteArray topic = context.discoveryPrefix + '/' + ComponentName(row.component) +
                                 '/' + node + '/' + objectId + "/config";
        const QByteArray key = context.knownKey(wantedKey);
        QByteArray payload;
        if (!key.isEmpty()) {
            payload = QJsonDocument(Config(context, row, key, objectId, label))
                          .toJson(QJsonDocument::Compact);
        }
        messages.push_back({topic, payload, wantedKey});
    };
    for (const ControlRow& row : kControlTable) {
        if (!row.perZone) {
            add(row, row.parameter, row.object, QString::fromLatin1(row.label));
            continue;
        }
        for (const Zone& zone : kZones) {
            add(row, QByteArray(zone.section) + '.' + row.parameter,
                QByteArray(zone.object) + '_' + row.object,
                QStringLiteral("%1 %2").arg(zone.label, QString::fromLatin1(row.label).toLower()));
        }
    }
    return messages;
}

QByteArray DiscoveryNode(const QByteArray& baseTopic) {
    QByteArray node;
    for (const char c : baseTopic) {
        const bool plain =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
        if (plain)
            node += c;
        else if (c == '/')
            node += "__";
        else
            node += '_' + QByteArray(1, c).toHex().toUpper();
    }
    return node;
}

bool ChangesDiscovery(const QByteArray& key) {
    return key.startsWith("Source") && key.endsWith(".Name");
}

QStringList SourceOptions(const std::function<QByteArray(const QByteArray& key)>& valueOf) {
    QStringList options;
    for (int source = 1; source <= kSourceCount; ++source) {
        QString name =
            FromWindows1252(valueOf(QStringLiteral("Source%1.Name").arg(source).toLatin1()))
                .trimmed();
        if (name.isEmpty())
            name = QStringLiteral("Source %1").arg(source);
        if (options.contains(name))
            name += QStringLiteral(" (%1)").arg(source);
        options << name;
    }
    return options;
}
