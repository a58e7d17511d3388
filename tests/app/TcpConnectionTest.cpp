#include "AppFixture.h"

#include "Profile.h"

namespace {

class TcpConnectionScenario : public AppFixture {};

TEST_F(TcpConnectionScenario, WindowConnectsThroughADeviceServer) {
    SimProcess sim({"--baud", "0", "--model", "ZA05"}, SimProcess::Line::Tcp);
    ASSERT_TRUE(sim.IsRunning());
    const QString target = sim.LinkPath();
    ASSERT_TRUE(target.startsWith("tcp://127.0.0.1:"));

    EXPECT_TRUE(ConnectOn(target));
    EXPECT_EQ(Window().StatusText(), "Connected to ZA05 on " + target);
    EXPECT_EQ(Window().Store().LineCount(), 578);
    EXPECT_TRUE(Window().Session().UpdateSetting("Main.Treble", "4"));
    EXPECT_TRUE(WaitFor([&sim] { return sim.ReceivedCommands().contains("Main.Treble=4"); }, 3000));
    // A typed target is used as typed and not remembered.
    EXPECT_EQ(Profile::ReadPort(), Profile::kPortDefault);
}

TEST_F(TcpConnectionScenario, RefusedDeviceServerCannotOpen) {
    SimProcess sim({"--baud", "0"}, SimProcess::Line::Tcp);
    const QString target = sim.LinkPath();
    sim.Stop();
    EXPECT_FALSE(ConnectOn(target));
    EXPECT_EQ(Window().StatusText(), "Cannot open Com Port");
    EXPECT_EQ(Window().StatusReason(), "Nothing listens at " + target +
                                           ": check the device server's address and port number");
}

}  // namespace
