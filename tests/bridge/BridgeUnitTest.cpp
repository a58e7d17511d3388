#include "BindingModel.h"
#include "Discovery.h"
#include "SessionState.h"
#include "SettingsStore.h"
#include "ValueCheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <gtest/gtest.h>

namespace {

TEST(ValueCheckTest, ModelMaskAndSpellingTable) {
    SettingsStore store;
    store.ResetToDefaults();
    struct Case {
        const char* key;
        const char* payload;
        std::uint32_t modelBit;
        const char* sent;  // nullptr: refused
    } cases[] = {
        {"Main.SpeakerA", "on", 1, "On"},        // the list's spelling goes out
        {"Main.SpeakerA", "On", 8, nullptr},     // ZA08 has no speaker sets
        {"Main.Audyssey", "Flat", 64, nullptr},  // nor ZA05 Audyssey
        {"Zone3.Power", "Off", 1, "Off"},        {"Tuner.Band", "fm", 1, "FM"},
        {"Main.Trim.Sub", "1.5", 1, nullptr},    {"Main.Source", "10", 1, "10"},
        {"Main.VideoMode", "PAL", 1, "PAL"},  // no rule: taken as it is
        {"Main.VideoMode", "PAL\n", 1, nullptr},
    };
    for (const Case& c : cases) {
        SessionState state;
        state.modelBit = c.modelBit;
        const SetCheck check = CheckSetValue(BindingModel(store, state), c.key, c.payload);
        if (c.sent == nullptr)
            EXPECT_FALSE(check.refusal.isEmpty()) << c.key << "=" << c.payload;
        else
            EXPECT_EQ(check.value, c.sent) << c.key << ": " << qPrintable(check.refusal);
    }
}

TEST(DiscoveryTest, AnnouncesWhatTheReceiverHasAndRemovesTheRest) {
    const QSet<QByteArray> keys{"Main.Power", "Main.Volume", "Zone2.Source", "Tuner.FM.RDSText"};
    DiscoveryContext context{"homeassistant",
                             "ampdesk/den",
                             "den",
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
        EXPECT_FALSE(config["unique_id"].toString().isEmpty());
        EXPECT_EQ(config["availability_topic"].toString(), "ampdesk/den/availability");
        EXPECT_EQ(config["state_topic"].toString(), "ampdesk/den/state/" + m.key);
        EXPECT_EQ(config.contains("command_topic"), !m.topic.startsWith("homeassistant/sensor"));
        if (m.key == "Main.Volume") {
            EXPECT_EQ(config["min"].toInt(), -72);
            EXPECT_EQ(config["max"].toInt(), 16);
        }
        if (m.key == "Zone2.Source") {
            const QJsonArray options = config["options"].toArray();
            EXPECT_EQ(options[0].toString(), "Source 1");
            EXPECT_EQ(options[1].toString(), "DVD");
        }
    }
    EXPECT_EQ(announced, (QSet<QByteArray>{"homeassistant/switch/den/main_power/config",
                                           "homeassistant/number/den/main_volume/config",
                                           "homeassistant/select/den/zone2_source/config",
                                           "homeassistant/sensor/den/tuner_rds_text/config"}));
    EXPECT_GT(removed, 20);
}

}  // namespace
