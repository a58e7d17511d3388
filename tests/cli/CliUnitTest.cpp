#include "CliOptions.h"
#include "SettingsDiff.h"
#include "SettingsStore.h"
#include "TerminalProgress.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

struct ParseCase {
    const char* name;
    QStringList arguments;
    bool valid;
    const char* errorPart;  // for invalid rows
};

const ParseCase kParseCases[] = {
    {"BackupWithFile", {"backup", "a.kvx"}, true, ""},
    {"PortBeforeCommand", {"--port", "tcp://h:4001", "model"}, true, ""},
    {"PortWithEqualsAfterOperands", {"get", "Main.Volume", "--port=COM3"}, true, ""},
    {"OnlyChangedAfterRestoreFile", {"restore", "a.kvx", "--only-changed"}, true, ""},
    {"SetSeveral", {"set", "Main.Volume=-20", "Source1.Name=TV 2"}, true, ""},
    {"DashFileAfterDoubleDash", {"backup", "--", "-odd.kvx"}, true, ""},
    {"DashIsStandardInput", {"diff", "-"}, true, ""},
    {"JsonWithGet", {"get", "Main.Volume", "--json"}, true, ""},
    {"JsonWithSet", {"--json", "set", "Main.Volume=-20"}, false, "--json goes with get"},
    {"CharacterWithoutWindows1252Form",
     {"set", "Source1.Name=Snow\u2603"},
     false,
     "cannot show the character \"\u2603\" (U+2603)"},
    {"NoCommand", {}, false, "no command given"},
    {"UnknownCommand", {"frobnicate"}, false, "unknown command \"frobnicate\""},
    {"UnknownOption", {"--verbose", "model"}, false, "unknown option \"--verbose\""},
    {"PortWithoutName", {"model", "--port="}, false, "--port needs a port name"},
    {"PortAtTheEnd", {"model", "--port"}, false, "--port"},
    {"BackupWithoutFile", {"backup"}, false, "backup needs a file"},
    {"DiffWithTwoFiles", {"diff", "a.kvx", "b.kvx"}, false, "diff takes one file"},
    {"ModelWithArgument", {"model", "x"}, false, "model takes no arguments"},
    {"SnapshotsWithArgument", {"snapshots", "1"}, false, "snapshots takes no arguments"},
    {"GetWithoutKey", {"get"}, false, "get needs an argument"},
    {"OnlyChangedWithDiff", {"diff", "a.kvx", "--only-changed"}, false, "restore only"},
    {"KeyWithQuestionMark", {"get", "Main.Volume?"}, false, "not a setting key"},
    {"KeyWithBlank", {"get", "Main Volume"}, false, "not a setting key"},
    {"KeyOver128Bytes", {"get", QString(129, 'K')}, false, "not a setting key"},
    {"SetWithoutEquals", {"set", "Main.Volume"}, false, "not KEY=VALUE"},
    {"SetWithEmptyKey", {"set", "=5"}, false, "not KEY=VALUE"},
    {"SetValueWithLineBreak", {"set", "Source1.Name=a\rMain.Power=Off"}, false, "not KEY=VALUE"},
};

void PrintTo(const ParseCase& row, std::ostream* out) {
    *out << row.name;
}

class CliParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CliParseTest, AcceptsOrNamesTheProblem) {
    const ParseCase& row = GetParam();
    const CliParse parsed = ParseCliArguments(row.arguments);
    EXPECT_FALSE(parsed.help);
    ASSERT_EQ(parsed.options.has_value(), row.valid) << parsed.error.toStdString();
    if (!row.valid) {
        EXPECT_TRUE(parsed.error.contains(QString::fromUtf8(row.errorPart)))
            << parsed.error.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, CliParseTest, ::testing::ValuesIn(kParseCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CliParse, KeepsPortOperandsAndFlag) {
    const CliParse parsed =
        ParseCliArguments({"restore", "--port", "tcp://10.0.0.9:4001", "a.kvx", "--only-changed"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->command, CliCommand::Restore);
    EXPECT_EQ(parsed.options->port, "tcp://10.0.0.9:4001");
    EXPECT_EQ(parsed.options->operands, QList<QByteArray>{"a.kvx"});
    EXPECT_TRUE(parsed.options->onlyChanged);
}

TEST(CliParse, ValueGoesToTheReceiverInWindows1252) {
    const CliParse parsed = ParseCliArguments({"set", QStringLiteral("Source1.Name=Télé€")});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->operands, QList<QByteArray>{"Source1.Name=T\xE9l\xE9\x80"});
}

TEST(CliParse, HelpWinsOverEverythingElse) {
    EXPECT_TRUE(ParseCliArguments({"frobnicate", "--help"}).help);
    EXPECT_TRUE(ParseCliArguments({"--version"}).version);
}

SettingsStore StoreOf(const QList<QByteArray>& lines) {
    SettingsStore store;
    for (const QByteArray& line : lines)
        store.Append(line);
    return store;
}

QList<QByteArray> Rendered(const std::vector<SettingDifference>& differences) {
    QList<QByteArray> lines;
    for (const SettingDifference& d : differences) {
        lines << d.key + ": " + d.fileValue.value_or("(none)") + " -> " +
                     d.receiverValue.value_or("(none)");
    }
    return lines;
}

struct DiffCase {
    const char* name;
    QList<QByteArray> file;
    QList<QByteArray> receiver;
    QList<QByteArray> differences;
    QList<QByteArray> changedLines;
};

const DiffCase kDiffCases[] = {
    {"SameSettingsNoDifference",
     {"Main.Volume=-20", "Main.Bass=0"},
     {"Main.Volume=-20", "Main.Bass=0"},
     {},
     {}},
    {"KeysMatchIgnoringCaseValuesExactly",
     {"Tuner.AMStep=10", "Source1.Name=TV"},
     {"TUNER.AMStep=10", "SOURCE1.Name=tv"},
     {"Source1.Name: TV -> tv"},
     {"Source1.Name=TV"}},
    {"KeyTheReceiverDidNotReport",
     {"Main.Volume=-20", "Zone4.Mode=Zone"},
     {"Main.Volume=-20"},
     {"Zone4.Mode: Zone -> (none)"},
     {"Zone4.Mode=Zone"}},
    {"KeyOnlyTheReceiverReported",
     {"Main.Volume=-20"},
     {"Main.Volume=-20", "Audyssey.Level.Sub=0"},
     {"Audyssey.Level.Sub: (none) -> 0"},
     {}},
    {"ValueHoldingEqualsSign",
     {"Source2.Name=A=B"},
     {"Source2.Name=A=C"},
     {"Source2.Name: A=B -> A=C"},
     {"Source2.Name=A=B"}},
    {"LineWithoutKeyIsSentNotCompared", {"", "Main.Volume=-20"}, {"Main.Volume=-20"}, {}, {""}},
    {"FirstOfTwinLinesCounts",
     {"Main.Volume=-20", "Main.Volume=-30"},
     {"Main.Volume=-30", "Main.Volume=-20"},
     {"Main.Volume: -20 -> -30"},
     {"Main.Volume=-20", "Main.Volume=-30"}},
};

void PrintTo(const DiffCase& row, std::ostream* out) {
    *out << row.name;
}

class SettingsDiffTest : public ::testing::TestWithParam<DiffCase> {};

TEST_P(SettingsDiffTest, ListsDifferencesAndLinesToSend) {
    const DiffCase& row = GetParam();
    const SettingsStore file = StoreOf(row.file);
    const SettingsStore receiver = StoreOf(row.receiver);
    EXPECT_EQ(Rendered(DiffSettings(file, receiver)), row.differences);
    const std::vector<QByteArray> changed = ChangedLines(file, receiver);
    EXPECT_EQ(QList<QByteArray>(changed.begin(), changed.end()), row.changedLines);
}

INSTANTIATE_TEST_SUITE_P(Rows, SettingsDiffTest, ::testing::ValuesIn(kDiffCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TerminalProgress, RedrawsOneLineAndEndsIt) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    TerminalProgress progress(out);
    progress.Begin("Restoring Receiver Settings...");
    progress.SetPercent(0);  // unchanged: not drawn again
    progress.SetPercent(50);
    progress.End();

    std::rewind(out);
    char buffer[1024] = {};
    const size_t size = std::fread(buffer, 1, sizeof buffer - 1, out);
    std::fclose(out);
    const QByteArray bar = QByteArray("\rRestoring Receiver Settings... [");
    EXPECT_EQ(QByteArray(buffer, static_cast<qsizetype>(size)),
              bar + QByteArray(30, '-') + "]   0%" + bar + QByteArray(15, '#') +
                  QByteArray(15, '-') + "]  50%" + bar + QByteArray(30, '#') + "] 100%\n");
}

}  // namespace
