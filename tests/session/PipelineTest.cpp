#include "Await.h"
#include "BulkTransfer.h"
#include "CommandChannel.h"
#include "KnownModels.h"
#include "SerialPort.h"
#include "SettingsStore.h"
#include "SimProcess.h"

#include <gtest/gtest.h>

namespace {

struct Variant {
    const char* name;
    QStringList simArguments;
    Pipeline::State learned;  // what a pipelined read finds out
};

void PrintTo(const Variant& variant, std::ostream* out) {
    *out << variant.name;
}

const Variant kVariants[] = {
    {"Sound", {}, Pipeline::State::Proven},
    {"Slow", {"--think-ms", "1"}, Pipeline::State::Proven},
    {"SmallInputBuffer", {"--think-ms", "1", "--input-buffer", "16"}, Pipeline::State::Refused},
    {"LockstepOnly", {"--lockstep-only", "--latency-ms", "1"}, Pipeline::State::Refused},
};

class PipelineTest : public ::testing::TestWithParam<Variant> {
protected:
    // The store after a read, and the receiver's settings after a restore of
    // the defaults, read back one command at a time.
    std::pair<std::vector<QByteArray>, std::vector<QByteArray>> ReadAndRestore(Pipeline* pipeline) {
        SimProcess sim(QStringList{"--baud", "0"} + GetParam().simArguments);
        EXPECT_TRUE(sim.IsRunning());
        SerialPort port;
        CommandChannel channel(port);
        EXPECT_TRUE(port.Open(sim.LinkPath())) << port.LastError().toStdString();
        SettingsStore store;
        const std::uint32_t model = ModelBitOf("ZA11");
        EXPECT_TRUE(Await(ReadAllFromReceiver(store, channel, nullptr, "x", model, {}, pipeline)));
        const std::vector<QByteArray> read = store.Lines();
        store.ResetToDefaults();
        const RestoreResult restored =
            Await(RestoreToReceiver(store.Lines(), channel, nullptr, {}, pipeline));
        EXPECT_EQ(restored.Failed(), 0) << restored.report.constData();
        EXPECT_TRUE(Await(ReadAllFromReceiver(store, channel, nullptr, "x", model, {})));
        return {read, store.Lines()};
    }
};

// Whatever the receiver can take, the pipelined read and restore end exactly
// as one command at a time would; a receiver that cannot keep up is found out.
TEST_P(PipelineTest, EndsAsLockstepWould) {
    const auto lockstep = ReadAndRestore(nullptr);
    Pipeline pipeline;
    const auto pipelined = ReadAndRestore(&pipeline);
    EXPECT_EQ(lockstep.first.size(), 584u);
    EXPECT_EQ(pipelined.first, lockstep.first);
    EXPECT_EQ(pipelined.second, lockstep.second);
    EXPECT_EQ(pipeline.state, GetParam().learned);
}

INSTANTIATE_TEST_SUITE_P(Simulators, PipelineTest, ::testing::ValuesIn(kVariants),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
