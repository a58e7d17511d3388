#include "CommandChannel.h"
#include "SerialPort.h"
#include "SessionState.h"
#include "SettingsStore.h"
#include "SimProcess.h"
#include "UpdateSetting.h"

#include <gtest/gtest.h>

namespace {

class UpdateSettingTest : public ::testing::Test {
protected:
    UpdateSettingTest() { m_store.ResetToDefaults(); }

    SettingsStore m_store;
    SerialPort m_port;
    CommandChannel m_channel{m_port};
    SessionState m_state;
};

TEST_F(UpdateSettingTest, NotConnectedChangesStoreAndReportsFailure) {
    EXPECT_FALSE(UpdateSetting(m_store, m_channel, m_state, "Main.Bass", "4"));
    EXPECT_EQ(m_store.GetValue("Main.Bass"), "4");
}

TEST_F(UpdateSettingTest, PresetViewRewritesThePresetLine) {
    m_state.viewIndex = 2;
    EXPECT_FALSE(UpdateSetting(m_store, m_channel, m_state, "Main.Bass", "4"));
    EXPECT_EQ(m_store.GetValue("Preset2.Bass"), "4");
    EXPECT_EQ(m_store.GetValue("Main.Bass"), "0");
}

TEST_F(UpdateSettingTest, ConnectedPresetViewSendsThePresetKey) {
    SimProcess sim({"--baud", "0"});
    ASSERT_TRUE(sim.IsRunning());
    ASSERT_TRUE(m_port.Open(sim.LinkPath())) << m_port.LastError().toStdString();
    m_state.connected = true;
    m_state.viewIndex = 2;

    EXPECT_TRUE(UpdateSetting(m_store, m_channel, m_state, "Main.Bass", "4"));
    EXPECT_EQ(m_store.GetValue("Preset2.Bass"), "4");

    m_state.viewIndex = 0;
    EXPECT_TRUE(UpdateSetting(m_store, m_channel, m_state, "Main.Bass", "-2"));
    EXPECT_EQ(m_store.GetValue("Main.Bass"), "-2");

    const QList<QByteArray> received = sim.ReceivedCommands();
    EXPECT_TRUE(received.contains("Preset2.Bass=4"));
    EXPECT_TRUE(received.contains("Main.Bass=-2"));
    EXPECT_FALSE(received.contains("Main.Bass=4"));
}

TEST_F(UpdateSettingTest, SilentReceiverMakesItFail) {
    SimProcess sim({"--baud", "0", "--silent"});
    ASSERT_TRUE(sim.IsRunning());
    ASSERT_TRUE(m_port.Open(sim.LinkPath())) << m_port.LastError().toStdString();
    m_state.connected = true;

    EXPECT_FALSE(UpdateSetting(m_store, m_channel, m_state, "Main.Volume", "-30"));
    EXPECT_EQ(m_store.GetValue("Main.Volume"), "-30");
}

}  // namespace
