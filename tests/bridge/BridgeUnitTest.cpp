#include "Discovery.h"
#include "ValueCheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <gtest/gtest.h>

namespace {

TEST(ValueCheckTest, ModelMaskSpellingAndRulesTable) {
    struct Case {
        const char* key;
        const char* payload;
        std::uint32_t modelBit;
        const char* sent;  // nullptr: refused
    } cases[] = {
        {"Main.SpeakerA", "on", 1, "On"},        // the list's spelling goes out
        {"Main.SpeakerA", "On", 8, nullptr},     // ZA08 has no speaker sets
        {"Main.Audyssey", "Flat", 64, nullptr},  // nor ZA05 Audyssey
        {"Zone3.Power", "Off", 1, "Off"},
        {"Tuner.Band", "fm", 1, "FM"},
        {"Main.Trim.Sub", "1.5", 1, nullptr},
        {"Main.Source", "10", 1, "10"},
        {"Main.VideoMode", "pal", 1, "PAL"},
        {"Main.VideoMode", "PAL\n", 1, nullptr},
        {"main.bass", "4.0", 1, "4"},
        {"Tuner.FM.Frequency", "101.1", 1, "101.10"},
        {"Tuner.FM.Frequency", "101.12", 1, nullptr},
        {"Tuner.AM.Frequency", "1711", 1, nullptr},
        {"Tuner.Preset7", "01AC07004A415A5A0000000000000000FFFFFFFFFFFFFFFF", 1, nullptr},
        {"Tuner.XM.Name", "x", 1, nullptr},           // the tuner's report, not a setting
        {"Zone9.Junk", "caf\xc3\xa9", 1, "caf\xe9"},  // no rule: printable, code page
        {"Zone9.Junk", "a\x13", 1, nullptr},          // XOFF
        {"Zone9.Junk", "\x1b[2J", 1, nullptr},
    };
    for (const Case& c : cases) {
        const SetCheck check = CheckSetValue(c.key, c.payload, {c.modelBit, false});
        if (c.sent == nullptr)
            EXPECT_FALSE(check.refusal.isEmpty()) << c.key << "=" << c.payload;
        else
            EXPECT_EQ(check.value, c.sent) << c.key << ": " << qPrintable(check.refusal);
    }
    // A preset record replaces a station whole: only for raw access.
    const QByteArray record = "01ac07004a415a5a0000000000000000ffffffffffffffff";
    EXPECT_EQ(CheckSetValue("Tuner.Preset7", record, {1, true}).value, record.toUpper());
    EXPECT_TRUE(IsRetainedState("Tuner.FM.RDSText"));
    EXPECT_FALSE(IsRetainedState("Zone9.Junk"));
}

TEST(DiscoveryTest, AnnouncesWhatTheReceiverHasAndRemovesTheRest) {
    const QSet<QByteArray> keys{"Main.Power",       "Main.Volume",        "Zone2.Source",
                                "Tuner.FM.RDSText", "Tuner.FM.Frequency", "Main.CenterDialog",
                                "Main.Trim.Sub"};
    DiscoveryContext context{"homeassistant",
                             "ampdesk/den",
                             "den",
                             DiscoveryNode("ampdesk/den"),
                             "ZA11",
                             "1.2",
                             [&](const QByteArray& key) { return keys.contains(key) ? key : ""; },
                             SourceOptions([](const QByteArray& key) {
                                 return key == "Source2.Name" ? QByteArray("DVD") : "";
                             })};
    QSet<QByteArray> announced;
    int removed = 0;
    for (const DiscoveryMessage& m : DiscoveryMessages(context)) {
        if (m.payload.isEmpty()) {
            ++removed;
            continue;
        }
        announced.insert(m.topic);
        const QJsonObject config = QJsonDocument::fromJson(m.payload).object();
        const QJsonObject device = config["device"].toObject();
        EXPECT_EQ(device["manufacturer"].toString(), "Velmar");
        EXPECT_EQ(device["model"].toString(), "ZA11");
        EXPECT_EQ(device["sw_version"].toString(), "1.2");
        EXPECT_FALSE(device["identifiers"].toArray().isEmpty());
        // Node, device and entities from the whole base topic.
        EXPECT_TRUE(m.topic.contains("/ampdesk__den/")) << m.topic.constData();
        EXPECT_TRUE(config["unique_id"].toString().startsWith("ampdesk_ampdesk__den_"));
        EXPECT_EQ(config["availability_topic"].toString(), "ampdesk/den/availability");
        EXPECT_EQ(config["state_topic"].toString(), "ampdesk/den/state/" + m.key);
        EXPECT_EQ(config.contains("command_topic"), !m.topic.startsWith("homeassistant/sensor"));
        if (m.key == "Main.Volume") {
            EXPECT_EQ(config["min"].toInt(), -72);
            EXPECT_EQ(config["max"].toInt(), 16);
        }
        const bool decibels =
            m.key.endsWith("Volume") || m.key.contains("Trim") || m.key.endsWith("CenterDialog");
        EXPECT_EQ(config["unit_of_measurement"].toString(), m.key == "Tuner.FM.Frequency" ? "MHz"
                                                            : decibels                    ? "dB"
                                                                                          : "")
            << m.key.constData();
        if (m.key == "Zone2.Source") {
            const QJsonArray options = config["options"].toArray();
            EXPECT_EQ(options[0].toString(), "Source 1");
            EXPECT_EQ(options[1].toString(), "DVD");
        }
    }
    EXPECT_EQ(announced,
              (QSet<QByteArray>{"homeassistant/switch/ampdesk__den/main_power/config",
                                "homeassistant/number/ampdesk__den/main_volume/config",
                                "homeassistant/select/ampdesk__den/zone2_source/config",
                                "homeassistant/sensor/ampdesk__den/tuner_rds_text/config",
                                "homeassistant/sensor/ampdesk__den/tuner_fm_frequency/config",
                                "homeassistant/number/ampdesk__den/center_dialog/config",
                                "homeassistant/number/ampdesk__den/trim_sub/config"}));
    EXPECT_NE(DiscoveryNode("a/b_c"), DiscoveryNode("a_b/c"));
    EXPECT_GT(removed, 20);
}

}  // namespace
