#include "UnitLimits.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Clock = LinePacer::Clock;

// With a byte a millisecond: "A?" is due at 10 ms and its answer "A=1" (with
// framing, 5 bytes) keeps the unit busy until 15 ms; "Bxyz?" (7 bytes on the
// wire) arrives in the 7 ms before it is due.
TEST(UnitLimits, TakesCommandsAsAUnitWithThoseLimitsWould) {
    const struct {
        const char* name;
        int thinkMs;
        int inputBuffer;
        bool lockstepOnly;
        int dueMs;  // of "Bxyz?"
        bool executed;
        QByteArray body;
        int handledMs;
    } cases[] = {
        {"NoLimits", 0, 0, false, 14, true, "Bxyz?", 14},
        {"ThinksInTurn", 5, 0, false, 19, true, "Bxyz?", 24},
        {"SmallBufferGarbles", 0, 2, false, 19, true, "Bz?", 19},
        {"SmallBufferLosesTheEnd", 0, 2, false, 14, false, "", 0},
        {"LockstepOnlyDrops", 0, 0, true, 14, false, "", 0},
        {"LockstepOnlyTakesOneAfterTheAnswer", 0, 0, true, 19, true, "Bxyz?", 19},
    };
    for (const auto& c : cases) {
        SimOptions options;
        options.thinkMs = c.thinkMs;
        options.inputBuffer = c.inputBuffer;
        options.lockstepOnly = c.lockstepOnly;
        UnitLimits unit(options, 1ms);
        const Clock::time_point zero{};
        const UnitLimits::Taken first = unit.Take({zero + 10ms, "A?", 4, 0});
        ASSERT_TRUE(first.executed) << c.name;
        unit.Answered(first.handled, first.handled, {"A=1"});
        const UnitLimits::Taken second =
            unit.Take({zero + std::chrono::milliseconds(c.dueMs), "Bxyz?", 7, 0});
        EXPECT_EQ(second.executed, c.executed) << c.name;
        if (c.executed) {
            EXPECT_EQ(second.body, c.body) << c.name;
            EXPECT_EQ(second.handled, zero + std::chrono::milliseconds(c.handledMs)) << c.name;
        }
    }
}

}  // namespace
