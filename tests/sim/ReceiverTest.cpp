#include "DefaultSettings.h"
#include "KnownModels.h"
#include "QueryTables.h"
#include "Receiver.h"
#include "Tuner.h"
#include "ValueRules.h"

#include <gtest/gtest.h>

namespace {

QList<QByteArray> Lines(std::initializer_list<const char*> texts) {
    QList<QByteArray> lines;
    for (const char* text : texts)
        lines.append(text);
    return lines;
}

TEST(ReceiverDefaults, EveryDefaultLineRestoredIsEchoedUnchanged) {
    Receiver receiver("ZA11");
    for (const QByteArray& line : DefaultLines()) {
        EXPECT_EQ(receiver.Handle(line), QList<QByteArray>{line}) << line.constData();
    }
}

TEST(ReceiverDefaults, EveryQueriedKeyOfTheModelIsAnswered) {
    for (const char* model : {"ZA11", "ZA08", "ZA04"}) {
        Receiver receiver(model);
        int answered = 0;
        int asked = 0;
        for (const QuerySection& section : kQuerySections) {
            for (const QueryParameter& parameter : kQueryParameters) {
                const QByteArray query = QByteArray(section.name) + '.' + parameter.name + '?';
                const bool has = !receiver.Handle(query).isEmpty();
                // The tuner's current preset number is a status key as well.
                const bool wanted =
                    IsQueried(section, parameter, ModelBitOf(model)) || query == "TUNER.Preset?";
                EXPECT_EQ(has, wanted) << model << ' ' << query.constData();
                asked += IsQueried(section, parameter, ModelBitOf(model));
                answered += has;
            }
        }
        EXPECT_EQ(answered, asked + 1) << model;  // + TUNER.Preset
    }
}

struct ModelKeyCase {
    const char* model;
    const char* query;
    const char* answer;  // nullptr: the unit lacks the key and stays silent
};

const ModelKeyCase kModelKeyCases[] = {
    {"ZA11", "Main.SpeakerA?", "Main.SpeakerA=On"},
    {"ZA08", "Main.SpeakerA?", nullptr},
    {"ZA08", "Main.Amp.Back?", nullptr},
    {"ZA04", "Main.Audyssey?", nullptr},
    {"ZA04", "Preset3.Audyssey?", nullptr},
    {"ZA11", "Main.Audyssey?", "Main.Audyssey=Off"},
    {"ZZ99", "Main.SpeakerA?", "Main.SpeakerA=On"},  // unknown model: every key
    {"ZZ99", "Main.Audyssey?", "Main.Audyssey=Off"},
    {"ZA11", "MAIN.IR.Channel?", "Main.IR.Channel=0"},  // no default line, still held
    {"ZA11", "AUDYSSEY.Level.Left?", "Audyssey.Level.Left=0"},
    {"ZA11", "PRESET2.Speaker.Front.Config?", "Preset2.Speaker.Front.Config=Small"},
    {"ZA11", "Preset1.Speaker.Front?", "Preset1.Speaker.Front=Small80"},
    {"ZA11", "Main.Nonsense?", nullptr},
    {"za04", "Main.Model?", "Main.Model=za04"},
    {"za04", "Main.Audyssey?", nullptr},  // the unit is a ZA04 whatever the spelling
};

TEST(ReceiverModels, KeysFollowTheModelsMasks) {
    for (const ModelKeyCase& row : kModelKeyCases) {
        Receiver receiver(row.model);
        const QList<QByteArray> expected =
            row.answer ? QList<QByteArray>{row.answer} : QList<QByteArray>{};
        EXPECT_EQ(receiver.Handle(row.query), expected) << row.model << ' ' << row.query;
    }
}

struct CommandCase {
    const char* command;
    QList<QByteArray> lines;
};

// Each row runs on a fresh ZA11 in its shipped state.
const std::vector<CommandCase> kCommandCases = {
    {"main.VOLUME?", Lines({"Main.Volume=-20"})},
    {"Main.Volume=200", Lines({"Main.Volume=16"})},
    {"Main.Volume=-300", Lines({"Main.Volume=-72"})},
    {"Main.Volume=loud", Lines({"Main.Volume=-20"})},
    {"Main.Volume=", Lines({"Main.Volume=-20"})},
    {"Main.Audyssey=Loud", Lines({"Main.Audyssey=Off"})},
    {"main.audyssey=flat", Lines({"Main.Audyssey=Flat"})},
    {"Main.Bass=3", Lines({"Main.Bass=4"})},
    {"Main.DTS.CenterGain=0.74", Lines({"Main.DTS.CenterGain=0.7"})},
    {"Main.LipSyncDelay=500", Lines({"Main.LipSyncDelay=120"})},
    {"Preset1.Speaker.Front=large100", Lines({"Preset1.Speaker.Front=Large100"})},
    {"Preset1.Speaker.Front=Huge80", Lines({"Preset1.Speaker.Front=Small80"})},
    {"Source1.Name=A=B", Lines({"Source1.Name=A=B"})},
    {"Source1.Name=bad\x01name", Lines({"Source1.Name=Source 1"})},
    {"Tuner.Preset7=1234",
     Lines({"Tuner.Preset7=FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"})},
    {"Tuner.Preset7=00910054414C4B0000000000000000FFFFFFFFFFFFFFFFFF",
     Lines({"Tuner.Preset7=00910054414C4B0000000000000000FFFFFFFFFFFFFFFFFF"})},
    {"Main.Model=ZA01", Lines({"Main.Model=ZA11"})},
    {"Main.Volume+", Lines({"Main.Volume=-19"})},
    {"Main.Volume-", Lines({"Main.Volume=-21"})},
    {"Main.Trim.Center+", Lines({"Main.Trim.Center=1"})},
    {"Main.Trim.Sub-", Lines({"Main.Trim.Sub=-1"})},
    {"Tuner.FM.Mute+", Lines({"Tuner.FM.Mute=On"})},
    {"Main.IR=212", Lines({"Tuner.FM.Frequency=87.55"})},
    {"Main.IR=211", Lines({"Tuner.FM.Frequency=87.50"})},  // already at the band's bottom
    {"Main.IR=999", {}},
    {"Tuner.Band=AM", Lines({"Tuner.Band=AM", "Tuner.AM.Frequency=1000"})},
    {"Tuner.Band=xm", Lines({"Tuner.Band=XM", "Tuner.XM.Channel=12", "Tuner.XM.ChannelName=JAZZ"})},
    {"Tuner.Preset+", Lines({"Tuner.Preset=2", "Tuner.Band=FM", "Tuner.FM.Frequency=98.10"})},
    {"Tuner.Preset-", Lines({"Tuner.Preset=6", "Tuner.Band=XM", "Tuner.XM.Channel=20",
                             "Tuner.XM.ChannelName=JAZZ"})},
    {"Tuner.Preset=3", Lines({"Tuner.Preset=3", "Tuner.Band=AM", "Tuner.AM.Frequency=1000"})},
    {"Nothing.Here=1", {}},
    {"=5", {}},
    {"Main.Volume", {}},
};

TEST(ReceiverCommands, AnswersStayWithinTheVocabulary) {
    for (const CommandCase& row : kCommandCases) {
        Receiver receiver("ZA11");
        EXPECT_EQ(receiver.Handle(row.command), row.lines) << row.command;
    }
}

TEST(ReceiverCommands, TunerQueryReportsEveryTunerLineInOrder) {
    Receiver receiver("ZA11");
    const QList<QByteArray> lines = receiver.Handle("Tuner?");
    ASSERT_EQ(lines.size(), qsizetype(kTunerStatusKeys.size()));
    for (std::size_t i = 0; i < kTunerStatusKeys.size(); ++i)
        EXPECT_TRUE(lines[i].startsWith(QByteArray(kTunerStatusKeys[i]) + '='))
            << lines[i].constData();
}

TEST(ReceiverCommands, AmTuningFollowsTheStepAndStopsAtTheBandEdge) {
    Receiver receiver("ZA11");
    receiver.Handle("Tuner.Band=AM");
    EXPECT_EQ(receiver.Handle("Main.IR=212"), Lines({"Tuner.AM.Frequency=1010"}));
    receiver.Handle("Tuner.AM.Frequency=1710");
    EXPECT_EQ(receiver.Handle("Main.IR=212"), Lines({"Tuner.AM.Frequency=1710"}));
    receiver.Handle("Tuner.AMStep=9");
    receiver.Handle("Tuner.AM.Frequency=531");
    EXPECT_EQ(receiver.Handle("Main.IR=212"), Lines({"Tuner.AM.Frequency=540"}));
}

TEST(ReceiverTuner, StoredStationsAreValidRecordsOfEachBand) {
    Receiver receiver("ZA11");
    QList<QByteArray> bands;
    for (int number = 1; number <= 40; ++number) {
        const QByteArray key = "Tuner.Preset" + QByteArray::number(number);
        const QByteArray record = receiver.State().Value(key);
        EXPECT_TRUE(Constrain(RuleFor(key), record).has_value()) << key.constData();
        if (const auto station = Tuner::DecodeRecord(record, 10))
            bands.append(station->band);
    }
    EXPECT_TRUE(bands.contains("AM"));
    EXPECT_TRUE(bands.contains("FM"));
    EXPECT_TRUE(bands.contains("XM"));
}

TEST(ReceiverFrontPanel, ChangesStayWithinTheVocabulary) {
    Receiver receiver("ZA11");
    std::mt19937 random(7);
    for (int i = 0; i < 200; ++i) {
        const QList<QByteArray> lines = receiver.FrontPanelChange(random);
        ASSERT_EQ(lines.size(), 1);
        const qsizetype equals = lines[0].indexOf('=');
        const QByteArray key = lines[0].left(equals);
        const QByteArray value = lines[0].mid(equals + 1);
        EXPECT_EQ(Constrain(RuleFor(key), value), std::optional<QByteArray>(value))
            << lines[0].constData();
        EXPECT_EQ(receiver.State().Value(key), value);
    }
    EXPECT_TRUE(receiver.TakeChanged());
}

}  // namespace
