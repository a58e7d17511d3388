#include "DefaultSettings.h"
#include "KeyRules.h"
#include "KnownModels.h"
#include "QueryTables.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QSet>

#include <vector>

namespace {

QByteArray KeyOf(const QByteArray& line) {
    return line.left(line.indexOf('='));
}

int QueryCount(std::uint32_t modelBit) {
    int count = 0;
    for (const QuerySection& section : kQuerySections) {
        for (const QueryParameter& parameter : kQueryParameters) {
            if (IsQueried(section, parameter, modelBit))
                ++count;
        }
    }
    return count;
}

// GetValue returns the first key containing the asked one, so a key that
// contains another must never come first.
void ExpectShorterKeysFirst(const std::vector<QByteArray>& keys) {
    for (std::size_t i = 0; i < keys.size(); ++i) {
        for (std::size_t j = i + 1; j < keys.size(); ++j) {
            EXPECT_FALSE(keys[i] != keys[j] && keys[i].contains(keys[j]))
                << keys[i].constData() << " precedes " << keys[j].constData();
        }
    }
}

TEST(QueryCatalog, EachModelGroupAsksItsNumberOfKeys) {
    struct Row {
        const char* model;
        int queries;
    };
    const Row rows[] = {
        {"ZA11", 584}, {"ZA10", 584}, {"ZA09", 584}, {"ZA07", 584}, {"ZA06", 584}, {"ZA08", 581},
        {"ZA03", 581}, {"ZA02", 581}, {"ZA01", 581}, {"ZA05", 578}, {"ZA04", 578},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(QueryCount(ModelBitOf(row.model)), row.queries) << row.model;
    }
    EXPECT_EQ(QueryCount(0), 0);
}

TEST(QueryCatalog, SectionsHoldTheirParameterCounts) {
    struct Row {
        const char* section;
        int parameters;
    };
    const Row rows[] = {{"TUNER", 42},   {"MAIN", 76},    {"ZONE2", 6},     {"ZONE3", 7},
                        {"ZONE4", 7},    {"SOURCE1", 11}, {"SOURCE10", 11}, {"PRESET1", 62},
                        {"PRESET5", 62}, {"AUDYSSEY", 26}};
    for (const Row& row : rows) {
        int count = 0;
        for (const QuerySection& section : kQuerySections) {
            if (QByteArray(section.name) != row.section)
                continue;
            for (const QueryParameter& parameter : kQueryParameters) {
                if ((parameter.sectionMask & section.bit) != 0)
                    ++count;
            }
        }
        EXPECT_EQ(count, row.parameters) << row.section;
    }
}

TEST(QueryCatalog, BulkReadOrderKeepsShorterKeysFirst) {
    std::vector<QByteArray> keys;
    for (const QuerySection& section : kQuerySections) {
        for (const QueryParameter& parameter : kQueryParameters) {
            if (IsQueried(section, parameter, 0x7FF)) {
                keys.push_back(QByteArray(section.name) + '.' + parameter.name);
            }
        }
    }
    ExpectShorterKeysFirst(keys);
}

TEST(DefaultLines, HoldThe537LinesFromTunerToPreset5) {
    const std::vector<QByteArray>& lines = DefaultLines();
    ASSERT_EQ(lines.size(), 537u);
    EXPECT_EQ(lines.front(), "Tuner.DigitalMode=XM");
    EXPECT_EQ(lines.back(), "Preset5.ListeningMode.DTS=NEO6Music");
    // Block boundaries: 42 tuner, 75 main, 20 zone, 110 source lines.
    EXPECT_EQ(lines[42], "Main.Volume=-20");
    EXPECT_EQ(lines[117], "Zone2.Volume=-20");
    EXPECT_EQ(lines[137], "Source1.Name=Source 1");
    EXPECT_EQ(lines[247], "Preset1.Audyssey=Off");
}

TEST(DefaultLines, KeysAreUniqueAndShorterKeysComeFirst) {
    std::vector<QByteArray> keys;
    QSet<QByteArray> unique;
    for (const QByteArray& line : DefaultLines()) {
        ASSERT_TRUE(line.contains('=')) << line.constData();
        keys.push_back(KeyOf(line));
        unique.insert(KeyOf(line));
    }
    EXPECT_EQ(unique.size(), 537);
    ExpectShorterKeysFirst(keys);
}

TEST(KnownModels, ModelBitIgnoresCaseAsAcceptanceDoes) {
    struct Row {
        const char* model;
        std::uint32_t bit;
        bool known;
    };
    const Row rows[] = {
        {"ZA11", 1, true},   {"ZA08", 8, true}, {"ZA04", 128, true}, {"ZA01", 1024, true},
        {"za04", 128, true}, {"Za11", 1, true}, {"ZZ99", 0, false},  {" ZA04", 0, false},
        {"ZA04 ", 0, false}, {"ZA0", 0, false}, {"", 0, false},      {"ZA111", 0, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ModelBitOf(row.model), row.bit) << row.model;
        EXPECT_EQ(IsKnownModel(row.model), row.known) << row.model;
    }
    for (std::size_t n = 0; n < kKnownModels.size(); ++n) {
        EXPECT_EQ(kKnownModels[n].modelBit, 1u << n) << kKnownModels[n].name;
    }
}

TEST(KeyRules, EveryAskedKeyHasARuleAndSectionsKeepTheirNumbers) {
    for (const QuerySection& section : kQuerySections) {
        for (const QueryParameter& parameter : kQueryParameters) {
            const QByteArray key = QByteArray(section.name) + '.' + parameter.name;
            if (IsQueried(section, parameter, kAllModels)) {
                EXPECT_NE(FindKeyRule(key), nullptr) << key.constData();
            }
        }
    }
    const struct {
        const char* key;
        KeyKind kind;  // Status stands for "no rule" where `found` is false
        bool found;
    } rows[] = {
        {"main.VOLUME", KeyKind::Number, true},       {"Zone4.Power", KeyKind::Choice, true},
        {"Zone1.Power", KeyKind::Status, false},      {"Zone5.Power", KeyKind::Status, false},
        {"Source10.Name", KeyKind::Text, true},       {"Source11.Name", KeyKind::Status, false},
        {"Source01.Name", KeyKind::Status, false},    {"Preset5.Bass", KeyKind::Choice, true},
        {"Tuner.Preset", KeyKind::Number, true},      {"tuner.preset40", KeyKind::Record, true},
        {"Tuner.Preset41", KeyKind::Status, false},   {"Tuner.FM.RDSText", KeyKind::Status, true},
        {"Main.Trigger3.Out", KeyKind::Choice, true}, {"Main.Trigger4.Out", KeyKind::Status, false},
        {"Main.Bogus", KeyKind::Status, false},       {"NoSection", KeyKind::Status, false},
    };
    for (const auto& row : rows) {
        const KeyRule* rule = FindKeyRule(row.key);
        EXPECT_EQ(rule != nullptr, row.found) << row.key;
        if (rule != nullptr) {
            EXPECT_EQ(rule->kind, row.kind) << row.key;
        }
    }
}

}  // namespace
