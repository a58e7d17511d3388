#include "BindingTable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

struct PageBlock {
    PageIndex page;
    int rows;
};

// The refresh order of the pages and the size of each page's block of rows.
constexpr PageBlock kPageBlocks[] = {
    {PageIndex::Trigger, 6},        {PageIndex::Source, 67},   {PageIndex::Speaker, 27},
    {PageIndex::ListeningMode, 15}, {PageIndex::Amplifier, 1}, {PageIndex::Display, 5},
    {PageIndex::Zone, 8},           {PageIndex::AvPreset, 30}, {PageIndex::Control, 16},
};

TEST(BindingTable, PagesStandInRefreshOrderWithTheirRowCounts) {
    ASSERT_EQ(kBindingTable.size(), 175u);
    std::size_t at = 0;
    for (const PageBlock& block : kPageBlocks) {
        for (int i = 0; i < block.rows; ++i, ++at) {
            EXPECT_EQ(kBindingTable[at].page, block.page) << "row " << at;
        }
    }
}

TEST(BindingTable, ControlIdsAndKeysAreUniqueSoFirstMatchFindsTheRightRow) {
    std::set<ControlId> ids;
    std::set<std::string> keys;
    for (const BindingRow& row : kBindingTable) {
        EXPECT_TRUE(ids.insert(row.controlId).second) << "duplicate id " << row.controlId;
        EXPECT_TRUE(keys.insert(row.Key().toStdString()).second) << row.Key().constData();
    }
}

TEST(BindingTable, ComboRowsCarryAListWhoseIndexesArePositions) {
    for (const BindingRow& row : kBindingTable) {
        if (!IsComboKind(row.kind)) {
            EXPECT_EQ(row.valueCount, 0) << row.Key().constData();
            continue;
        }
        ASSERT_NE(row.values, nullptr) << row.Key().constData();
        ASSERT_GT(row.valueCount, 0) << row.Key().constData();
        for (int i = 0; i < row.valueCount; ++i) {
            EXPECT_EQ(row.values[i].index, i) << row.Key().constData();
        }
    }
}

struct MaskCase {
    const char* key;
    std::uint32_t mask;
};

constexpr MaskCase kMaskCases[] = {
    {"Main.SpeakerA", 247},  {"Main.SpeakerB", 247}, {"Main.Amp.Back", 247},
    {"Main.Audyssey", 1855}, {"Main.Bass", 2047},    {"Source1.Name", 2047},
};

TEST(BindingTable, ModelMasksLeaveOutTheModelsWithoutTheControl) {
    for (const MaskCase& c : kMaskCases) {
        const BindingRow* row = FindRowByKey(c.key);
        ASSERT_NE(row, nullptr) << c.key;
        EXPECT_EQ(row->modelMask, c.mask) << c.key;
    }
}

TEST(BindingTable, KeyLookUpFindsTheFirstRowOfEveryKeyExactly) {
    for (const BindingRow& row : kBindingTable) {
        const BindingRow* first = nullptr;
        for (const BindingRow& candidate : kBindingTable) {
            if (candidate.Key() == row.Key()) {
                first = &candidate;
                break;
            }
        }
        EXPECT_EQ(FindRowByKey(row.Key()), first) << row.Key().constData();
        // Status lines may come in any case; the look-up is exact.
        EXPECT_EQ(FindRowByKey(row.Key().toUpper()), nullptr) << row.Key().constData();
    }
    EXPECT_EQ(FindRowByKey("Main"), nullptr);
    EXPECT_EQ(FindRowByKey(""), nullptr);
}

struct LookupCase {
    const char* stored;
    ValueList list;
    int index;
};

TEST(ValueLists, StoredValuesAreMatchedIgnoringCaseWithinTheListOnly) {
    const LookupCase cases[] = {
        {"4", kToneLevels, 7},
        {"on", kOnOff, 0},
        {"OPTICAL 4", kDigitalInputs, 10},
        {"svideo 2", kVideoInputs, 7},
        {"-7", kDimensions, 14},
        {"Analogbypass", kAnalogModes, 8},
        {"AnalogBypass", kDigitalModes, -1},
        {"1.5", kCenterGains, -1},
        {"error", kToneLevels, -1},
        {"", kYesNo, -1},
    };
    for (const LookupCase& c : cases) {
        EXPECT_EQ(FindStoredValue(c.list, c.stored), c.index) << c.stored;
    }
}

}  // namespace
