#include "ValueCheck.h"

#include <gtest/gtest.h>

namespace {

TEST(ValueCheckTest, ModelMaskAndSpellingTable) {
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
        {"Main.Trim.Sub", "-13", 1, nullptr},    {"Main.Source", "10", 1, "10"},
        {"Main.VideoMode", "PAL", 1, "PAL"},  // no rule: taken as it is
        {"Main.VideoMode", "PAL\n", 1, nullptr},
    };
    for (const Case& c : cases) {
        const SetCheck check = CheckSetValue(c.key, c.payload, c.modelBit);
        if (c.sent == nullptr)
            EXPECT_FALSE(check.refusal.isEmpty()) << c.key << "=" << c.payload;
        else
            EXPECT_EQ(check.value, c.sent) << c.key << ": " << qPrintable(check.refusal);
    }
}

}  // namespace
