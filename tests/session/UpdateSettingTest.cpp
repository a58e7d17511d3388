#include "Await.h"
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

// The key goes out as given (the binding model chose its section); the call
// returns at once and the set follows in the queue.
TEST_F(UpdateSettingTest, ConnectedQueuesTheSetAndReturnsAtOnce) {
    SimProcess sim({"--baud", "0"});
    ASSERT_TRUE(sim.IsRunning());
    ASSERT_TRUE(m_port.Open(sim.LinkPath())) << m_port.LastError().toStdString();
    m_state.connected = true;

    EXPECT_TRUE(UpdateSetting(m_store, m_channel, m_state, "Preset2.Bass", "4"));
    EXPECT_EQ(m_store.GetValue("Preset2.Bass"), "4");
    EXPECT_FALSE(m_channel.IsIdle());
    // The line is ordered: once this is answered, the set has arrived.
    EXPECT_EQ(QueryReply(m_channel, "Preset2.Bass"), "Preset2.Bass=4");
    EXPECT_TRUE(sim.ReceivedCommands().contains("Preset2.Bass=4"));
}

}  // namespace
