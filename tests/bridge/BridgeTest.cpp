#include "BridgeHarness.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

const QByteArray kBase = "ampdesk/test/";

QJsonObject Json(const QByteArray& payload) {
    return QJsonDocument::fromJson(payload).object();
}

class BridgeTest : public ::testing::Test {
protected:
    // The bridge on a fresh simulator, online and read.
    void StartBridge(SimProcess::Line line, const QStringList& extra = {}) {
        m_sim = std::make_unique<SimProcess>(QStringList{"--baud", "0"}, line);
        ASSERT_TRUE(m_sim->IsRunning());
        m_bridge = std::make_unique<BridgeProcess>(m_sim->LinkPath(), m_broker.Port(), extra);
        ASSERT_TRUE(WaitFor([&] { return Online(); }, 30'000)) << m_bridge->Log().constData();
    }
    bool Online() const { return m_sub.Last(kBase + "availability") == "online"; }
    QByteArray State(const char* key) const { return m_sub.Last(kBase + "state/" + key); }
    bool WaitState(const char* key, const QByteArray& value) {
        return WaitFor([&] { return State(key) == value; });
    }

    Broker m_broker;
    Subscriber m_sub{m_broker.Port()};
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<BridgeProcess> m_bridge;
};

struct MessageCase {
    const char* topic;  // under the base
    const char* payload;
    const char* stateKey;  // the state that must follow, or nullptr for a refusal
    const char* expected;  // that state's value, or a part of the refusal's reason
};

TEST_F(BridgeTest, SetStepAndRefusalsOverPty) {
    StartBridge(SimProcess::Line::Pty);
    const MessageCase cases[] = {
        {"set/Main.Volume", "-35", "Main.Volume", "-35"},
        {"set/Main.Volume", "-34.0", "Main.Volume", "-34"},
        {"step/Main.Volume", "up", "Main.Volume", "-33"},
        {"set/Main.Mute", "On", "Main.Mute", "On"},
        {"set/Main.Bass", "4", "Main.Bass", "4"},
        {"set/Main.ListeningMode", "EARS", "Main.ListeningMode", "EARS"},
        {"set/Source3.Name", "Platten\xc3\xa9", "Source3.Name", "Platten\xc3\xa9"},
        {"set/Main.Source", "Platten\xc3\xa9", "Main.Source", "3"},
        {"set/Main.Volume", "17", nullptr, "from -72 to 16"},
        {"set/Main.Volume", "loud", nullptr, "whole number"},
        {"set/Main.Bass", "3", nullptr, "not one of"},
        {"set/Main.ListeningMode", "Disco", nullptr, "not one of"},
        {"set/Source1.Name", "ThirteenChars", nullptr, "at most 12"},
        {"set/Source1.Name", "Snow\xe2\x98\x83", nullptr, "cannot show"},
        {"set/Main.Volume", "-30\rMain.Power=Off", nullptr, "carriage return"},
        {"set/Main.Bogus", "1", nullptr, "no setting"},
        {"step/Main.Volume", "sideways", nullptr, "\"up\" or \"down\""},
        {"step/Main.Bass", "up", nullptr, "only volumes"},
        {"command", "Main.Power=Off", nullptr, "--allow-raw"},
    };
    for (const MessageCase& c : cases) {
        m_sub.Publish(kBase + c.topic, c.payload);
        if (c.stateKey != nullptr) {
            EXPECT_TRUE(WaitState(c.stateKey, c.expected)) << c.topic << " " << c.payload;
            continue;
        }
        const bool refused = WaitFor([&] {
            const QJsonObject error = Json(m_sub.Last(kBase + "error"));
            return error["topic"].toString() == QString::fromUtf8(kBase + c.topic) &&
                   error["payload"].toString() == QString::fromUtf8(c.payload) &&
                   error["reason"].toString().contains(QString::fromUtf8(c.expected));
        });
        EXPECT_TRUE(refused) << c.topic << " " << c.payload << ": "
                             << m_sub.Last(kBase + "error").constData();
    }
    // A barrier: once this set is answered, anything sent before it has arrived.
    m_sub.Publish(kBase + "set/Main.Volume", "-40");
    ASSERT_TRUE(WaitState("Main.Volume", "-40"));
    for (const QByteArray& command : m_sim->ReceivedCommands()) {
        for (const MessageCase& c : cases) {
            if (c.stateKey == nullptr && QByteArray(c.topic).startsWith("set/")) {
                EXPECT_NE(command, QByteArray(c.topic).mid(4) + "=" + c.payload);
            }
        }
        EXPECT_NE(command, "Main.Bass+");
        EXPECT_NE(command, "Main.Power=Off");
    }
}

TEST_F(BridgeTest, DiscoveryFollowsSourceNamesAndHomeAssistantRestarts) {
    StartBridge(SimProcess::Line::Pty);
    const QByteArray source = "homeassistant/select/test/main_source/config";
    ASSERT_TRUE(WaitFor([&] { return !m_sub.Last(source).isEmpty(); }));
    QJsonObject config = Json(m_sub.Last(source));
    EXPECT_EQ(config["command_topic"].toString(), "ampdesk/test/set/Main.Source");
    EXPECT_EQ(config["device"].toObject()["manufacturer"].toString(), "Velmar");
    EXPECT_EQ(config["options"].toArray().size(), 10);

    m_sub.Publish(kBase + "set/Source1.Name", "Vinyl");
    EXPECT_TRUE(WaitFor([&] {
        return Json(m_sub.Last(source))["options"].toArray().first().toString() == "Vinyl";
    }));
    m_sub.Forget();
    m_sub.Publish("homeassistant/status", "online");
    EXPECT_TRUE(WaitFor([&] { return !m_sub.Last(source).isEmpty(); }));
}

}  // namespace
