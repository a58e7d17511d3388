// The store's indexed look-ups against the plain scans they replace: first line
// whose key contains the asked key (case-sensitive) for reads, first line whose
// key equals it ignoring ASCII case for writes.

#include "ByteText.h"
#include "SettingsStore.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// The scans as the store did them before it had an index.
struct ScanStore {
    std::vector<QByteArray> lines;

    QByteArray GetValue(const QByteArray& key) const {
        QByteArray lineKey;
        QByteArray value;
        for (const QByteArray& line : lines) {
            if (SplitLine(line, &lineKey, &value) && lineKey.contains(key))
                return value;
        }
        return SettingsStore::kError;
    }

    bool SetValue(const QByteArray& key, const QByteArray& value) {
        QByteArray lineKey;
        for (QByteArray& line : lines) {
            if (SplitLine(line, &lineKey, nullptr) && EqualsIgnoringCase(lineKey, key)) {
                line = lineKey + '=' + value;
                return true;
            }
        }
        return false;
    }
};

struct Step {
    enum Kind { Append, Clear, Get, Set } kind;
    const char* text;
    const char* value = "";
};

struct Case {
    const char* name;
    std::vector<Step> steps;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

// Each case is a sequence of store operations; every Get and Set is compared
// with the scan, and the lines after every step.
const Case kCases[] = {
    {"EarlierLongerKeyWinsOverExactKey",
     {{Step::Append, "XMain.Volume=1"},
      {Step::Append, "Main.Volume=2"},
      {Step::Get, "Main.Volume"}}},
    {"ExactKeyAfterShorterKeyIsFound",
     {{Step::Append, "Main.ListeningMode=None"},
      {Step::Append, "Main.ListeningMode.Analog=EARS"},
      {Step::Get, "Main.ListeningMode.Analog"},
      {Step::Get, "Main.ListeningMode"},
      {Step::Get, "ListeningMode"}}},
    {"ReadIsCaseSensitiveWriteIsNot",
     {{Step::Append, "Main.Volume=-20"},
      {Step::Get, "main.volume"},
      {Step::Set, "main.volume", "-30"},
      {Step::Get, "Main.Volume"}}},
    {"DuplicateKeysWriteTheFirst",
     {{Step::Append, "Main.Mute=Off"},
      {Step::Append, "MAIN.MUTE=On"},
      {Step::Set, "Main.Mute", "x"},
      {Step::Get, "MAIN.MUTE"},
      {Step::Get, "Main.Mute"}}},
    {"LinesWithoutEqualsAreSkipped",
     {{Step::Append, "Main.Power"},
      {Step::Append, ""},
      {Step::Append, "=bare"},
      {Step::Append, "Main.Power=On"},
      {Step::Get, "Main.Power"},
      {Step::Get, ""},
      {Step::Set, "", "y"},
      {Step::Get, "Main"}}},
    {"MissedKeyIsFoundOnceAppended",
     {{Step::Append, "Main.Bass=0"},
      {Step::Get, "Main.Treble"},
      {Step::Append, "Main.Treble=2"},
      {Step::Get, "Main.Treble"},
      {Step::Set, "Main.Treble", "4"},
      {Step::Get, "Main.Treble"}}},
    {"RefillForgetsEverything",
     {{Step::Append, "Main.Bass=0"},
      {Step::Get, "Main.Bass"},
      {Step::Clear, ""},
      {Step::Get, "Main.Bass"},
      {Step::Set, "Main.Bass", "2"},
      {Step::Append, "XMain.Bass=6"},
      {Step::Append, "Main.Bass=4"},
      {Step::Get, "Main.Bass"},
      {Step::Set, "main.bass", "8"},
      {Step::Get, "Main.Bass"}}},
    {"ValueWithEqualsSurvivesWrites",
     {{Step::Append, "Source1.Name=A=B"},
      {Step::Get, "Source1.Name"},
      {Step::Set, "SOURCE1.NAME", "C=D"},
      {Step::Get, "Source1.Name"},
      {Step::Get, "Name=C"}}},
    {"HighBytesDoNotFold",
     {{Step::Append, "Source2.N\xe9=x"},
      {Step::Set, "Source2.N\xc9", "y"},
      {Step::Set, "SOURCE2.N\xe9", "z"},
      {Step::Get, "N\xe9"}}},
};

void RunStep(const Step& step, SettingsStore& store, ScanStore& scan) {
    switch (step.kind) {
        case Step::Append:
            store.Append(step.text);
            scan.lines.push_back(step.text);
            break;
        case Step::Clear:
            store.Clear();
            scan.lines.clear();
            break;
        case Step::Get:
            EXPECT_EQ(store.GetValue(step.text), scan.GetValue(step.text)) << "get " << step.text;
            break;
        case Step::Set:
            EXPECT_EQ(store.SetValue(step.text, step.value), scan.SetValue(step.text, step.value))
                << "set " << step.text;
            break;
    }
    EXPECT_EQ(store.Lines(), scan.lines);
}

class StoreIndex : public ::testing::TestWithParam<Case> {};

TEST_P(StoreIndex, AnswersAsTheScanDoes) {
    SettingsStore store;
    ScanStore scan;
    for (const Step& step : GetParam().steps)
        RunStep(step, store, scan);
}

INSTANTIATE_TEST_SUITE_P(Cases, StoreIndex, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Random stores over a tiny alphabet, so that keys contain one another, differ
// only in case and repeat; random reads, writes and refills in between.
TEST(StoreIndexRandom, ThousandsOfOperationsAnswerAsTheScanDoes) {
    std::mt19937 random(20261207);
    const char alphabet[] = {'a', 'A', 'b', 'B', '.', '='};
    auto text = [&](int maxLength) {
        QByteArray bytes;
        const int length = std::uniform_int_distribution<int>(0, maxLength)(random);
        for (int i = 0; i < length; ++i)
            bytes += alphabet[std::uniform_int_distribution<int>(0, 5)(random)];
        return bytes;
    };
    SettingsStore store;
    ScanStore scan;
    for (int round = 0; round < 20000; ++round) {
        const int choice = std::uniform_int_distribution<int>(0, 99)(random);
        if (choice < 30) {
            const QByteArray line = text(6);
            store.Append(line);
            scan.lines.push_back(line);
        } else if (choice < 31) {
            store.Clear();
            scan.lines.clear();
        } else if (choice < 70) {
            const QByteArray key = text(4);
            ASSERT_EQ(store.GetValue(key), scan.GetValue(key))
                << "round " << round << " " << key.constData();
        } else {
            const QByteArray key = text(4);
            const QByteArray value = text(3);
            ASSERT_EQ(store.SetValue(key, value), scan.SetValue(key, value))
                << "round " << round << " " << key.constData();
        }
        ASSERT_EQ(store.Lines(), scan.lines) << "round " << round;
    }
}

TEST(StoreIndexRandom, DefaultsAnswerAsTheScanDoes) {
    SettingsStore store;
    store.ResetToDefaults();
    ScanStore scan{store.Lines()};
    for (const QByteArray& line : scan.lines) {
        QByteArray key;
        if (!SplitLine(line, &key, nullptr))
            continue;
        // Whole keys, their parameters and their tails all meet keys they are part of.
        for (const QByteArray& asked : {key, key.mid(key.indexOf('.') + 1), key.right(5)})
            EXPECT_EQ(store.GetValue(asked), scan.GetValue(asked)) << asked.constData();
        EXPECT_EQ(store.SetValue(UpperAscii(key), "v"), scan.SetValue(UpperAscii(key), "v"));
    }
    EXPECT_EQ(store.Lines(), scan.lines);
}

}  // namespace
