#include "SettingsStore.h"
#include "StatusLines.h"

#include <QList>

#include <gtest/gtest.h>

namespace {

struct StatusCase {
    const char* name;
    const char* line;
    bool storeHasKey;
    bool storedAndRefreshed;
    bool reachesTuner;
};

// The store holds the keys a case says it holds; everything else is absent.
const StatusCase kStatusCases[] = {
    {"VolumeStoredAndRefreshedOnly", "Main.Volume=-35", true, true, false},
    {"NumberedPresetStoredAndForwarded", "Tuner.Preset12=00112233", true, true, true},
    {"CurrentPresetStoredNotForwarded", "Tuner.Preset=7", true, true, false},
    {"CurrentPresetUnknownGoesToTuner", "Tuner.Preset=7", false, false, true},
    {"UnknownTunerLineGoesToTuner", "Tuner.RDS.Text=Morning show", false, false, true},
    {"StoredBandLineNotForwarded", "Tuner.Band=FM", true, true, false},
    {"LowerCasePresetStoredNotForwarded", "tuner.preset5=00112233", true, true, false},
    {"UnknownNonTunerLineChangesNothing", "Zone9.Volume=3", false, false, false},
};

class StatusLineCase : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusLineCase, RoutesLineByStoreAndPrefix) {
    const StatusCase& c = GetParam();
    const QByteArray line(c.line);
    const qsizetype equals = line.indexOf('=');
    const QByteArray key = line.left(equals);
    const QByteArray value = line.mid(equals + 1);

    SettingsStore store;
    store.Append("Main.Power=On");
    if (c.storeHasKey) {
        // Stored in the receiver's own spelling, whatever the line's case.
        const QByteArray storedKey = key.toLower() == "tuner.preset5" ? "Tuner.Preset5" : key;
        store.Append(storedKey + "=old");
    }

    const StatusRoute route = RouteStatusLine(store, key, value, line);

    if (c.storedAndRefreshed) {
        EXPECT_EQ(store.Lines().back().mid(store.Lines().back().indexOf('=') + 1), value);
        EXPECT_TRUE(route.stored);
    } else {
        EXPECT_FALSE(route.stored);
        EXPECT_EQ(store.Lines().size(), c.storeHasKey ? 2u : 1u);
    }
    EXPECT_EQ(route.toTuner, c.reachesTuner);
}

INSTANTIATE_TEST_SUITE_P(Rules, StatusLineCase, ::testing::ValuesIn(kStatusCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
