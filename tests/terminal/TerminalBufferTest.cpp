#include "TerminalBuffer.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace {

// One user or receiver action on the buffer.
struct Step {
    enum Kind { Type, Enter, Arrive, Backspace, Older, Newer, Width } kind;
    QString text;
    int number = 0;
};

Step Type(const char* text) {
    return {Step::Type, QString::fromLatin1(text)};
}
Step Arrive(const char* text) {
    return {Step::Arrive, QString::fromLatin1(text)};
}
Step Width(int columns) {
    return {Step::Width, {}, columns};
}
const Step kEnter{Step::Enter, {}};
const Step kBackspace{Step::Backspace, {}};
const Step kOlder{Step::Older, {}};
const Step kNewer{Step::Newer, {}};

struct BufferCase {
    const char* name;
    std::vector<Step> steps;
    QStringList tail;      // the last entries afterwards, live rows included
    QStringList commands;  // what each Enter handed back
};

void PrintTo(const BufferCase& c, std::ostream* os) {
    *os << c.name;
}

// As the Terminal tab starts: banner, then the prompt.
TerminalBuffer StartedBuffer() {
    TerminalBuffer buffer;
    buffer.WriteBanner();
    buffer.SetPrompt(QStringLiteral("> "));
    return buffer;
}

QStringList RunSteps(TerminalBuffer& buffer, const std::vector<Step>& steps) {
    QStringList commands;
    for (const Step& step : steps) {
        switch (step.kind) {
            case Step::Type:
                for (QChar c : step.text)
                    buffer.TypeCharacter(c);
                break;
            case Step::Enter:
                commands << buffer.Enter();
                break;
            case Step::Arrive:
                buffer.AppendLine(step.text);
                break;
            case Step::Backspace:
                buffer.Backspace();
                break;
            case Step::Older:
                buffer.RecallOlder();
                break;
            case Step::Newer:
                buffer.RecallNewer();
                break;
            case Step::Width:
                buffer.SetCharactersPerLine(step.number);
                break;
        }
    }
    return commands;
}

const BufferCase kBufferCases[] = {
    {"EnterHandsBackCommandWithoutPrompt",
     {Type("Main.Model?"), kEnter},
     {"> Main.Model?\n", "> "},
     {"Main.Model?"}},
    {"ReplyTakesPlaceOfEmptyPromptLine",
     {Type("Main.Model?"), kEnter, Arrive("Main.Model=ZA11")},
     {"> Main.Model?\n", "Main.Model=ZA11\n", "> "},
     {"Main.Model?"}},
    {"BarePromptEnterGivesEmptyCommand", {kEnter}, {"> \n", "> "}, {""}},
    {"WrappedCommandIsSentWhole",
     {Width(10), Type("Main.Volume=-30"), kEnter},
     {"> Main.Vol", "ume=-30\n", "> "},
     {"Main.Volume=-30"}},
    {"BackspaceUnwrapsTheCommand",
     {Width(10), Type("Main.Volume"), kBackspace, kBackspace, kBackspace, kEnter},
     {"> Main.Vol\n", "> "},
     {"Main.Vol"}},
    {"BackspaceErasesPromptThenNothing",
     {kBackspace, kBackspace, kBackspace, Type("Main?"), kEnter},
     {"Main?\n", "> "},
     {"Main?"}},
    {"PromptTextInsideCommandIsKept", {Type("a> b"), kEnter}, {"> a> b\n", "> "}, {"a> b"}},
    {"ArrivingLineGoesAboveTypedText",
     {Type("Main.Vo"), Arrive("Main.Power=On"), Type("lume?"), kEnter},
     {"Main.Power=On\n", "> Main.Volume?\n", "> "},
     {"Main.Volume?"}},
    {"ArrivingLineKeepsPartlyErasedPrompt",
     {kBackspace, Arrive("Main.Mute=Off")},
     {"Main.Mute=Off\n", ">"},
     {}},
    {"ArrivingLineAboveWrappedCommand",
     {Width(6), Type("Zone2.Volume?"), Arrive("x"), kEnter},
     {"x\n", "> Zone", "2.Volu", "me?\n", "> "},
     {"Zone2.Volume?"}},
    {"LineBreaksDroppedControlsReplaced",
     {Arrive("\nMain.Name=A\tB\x7f\r")},
     {QStringLiteral("Main.Name=A\uFFFDB\uFFFD\n"), "> "},
     {}},
    {"UnprintableTypedCharactersRefused",
     {Type("M\x01"), Type("\x7f"), {Step::Type, QStringLiteral("a\u4E2Db")}, kEnter},
     {"> Mab\n", "> "},
     {"Mab"}},
    {"EightBitCharactersTyped",
     {{Step::Type, QStringLiteral("Source1.Name=Caf\u00E9 \u20AC")}, kEnter},
     {QStringLiteral("> Source1.Name=Caf\u00E9 \u20AC\n"), "> "},
     {QStringLiteral("Source1.Name=Caf\u00E9 \u20AC")}},
    {"UpRecallsNewestThenOlder",
     {Type("Main?"), kEnter, Type("Zone2?"), kEnter, kOlder, kOlder, kEnter},
     {"> Main?\n", "> "},
     {"Main?", "Zone2?", "Main?"}},
    {"DownReturnsToTheDraft",
     {Type("Main?"), kEnter, Type("Tun"), kOlder, kNewer},
     {"> Main?\n", "> Tun"},
     {"Main?"}},
    {"UpStopsAtOldest",
     {Type("A?"), kEnter, Type("B?"), kEnter, kOlder, kOlder, kOlder, kOlder},
     {"> A?"},
     {"A?", "B?"}},
    {"RepeatedAndEmptyCommandsNotRecalledTwice",
     {Type("A?"), kEnter, Type("B?"), kEnter, Type("B?"), kEnter, kEnter, kOlder, kOlder},
     {"> A?"},
     {"A?", "B?", "B?", ""}},
};

class TerminalBufferCases : public ::testing::TestWithParam<BufferCase> {};

TEST_P(TerminalBufferCases, EndsAsExpected) {
    const BufferCase& c = GetParam();
    TerminalBuffer buffer = StartedBuffer();
    const QStringList commands = RunSteps(buffer, c.steps);
    EXPECT_EQ(commands, c.commands);
    const QStringList entries = buffer.Entries();
    ASSERT_GE(entries.size(), c.tail.size());
    EXPECT_EQ(entries.mid(entries.size() - c.tail.size()), c.tail)
        << entries.join('|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Terminal, TerminalBufferCases, ::testing::ValuesIn(kBufferCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TerminalBuffer, BannerAndPromptGiveSevenLinesEmptyLineAndPrompt) {
    const TerminalBuffer buffer = StartedBuffer();
    EXPECT_EQ(buffer.Entries(),
              (QStringList{"Velmar Audio\n", "Ampdesk receiver terminal\n", "\n",
                           "Syntax: <parameter> . <variable> <operator> <value>\n", "\n",
                           "ie. Main?\n", "\n", "\n", "> "}));
    EXPECT_EQ(buffer.EntryCount(), 9);
}

TEST(TerminalBuffer, BackspaceOnEmptyLiveLineChangesNothing) {
    TerminalBuffer buffer;
    buffer.Backspace();
    EXPECT_EQ(buffer.Entries(), QStringList{QString()});
    EXPECT_EQ(buffer.LiveText(), QString());
}

TEST(TerminalBuffer, KeepsLast256EntriesAndCountsAllAdded) {
    TerminalBuffer buffer = StartedBuffer();
    for (int i = 0; i < 300; ++i)
        buffer.AppendLine(QString::number(i));
    EXPECT_EQ(buffer.EntryCount(), TerminalBuffer::kMaxEntries);
    EXPECT_EQ(buffer.FinishedLines().front(), "45\n");  // 255 finished: 45..299
    EXPECT_EQ(buffer.FinishedLines().back(), "299\n");
    EXPECT_EQ(buffer.FinishedTotal(), 8 + 300);
    EXPECT_EQ(buffer.Entries().last(), "> ");
}

TEST(TerminalBuffer, NarrowWrapStillKeeps256Entries) {
    TerminalBuffer buffer = StartedBuffer();
    for (int i = 0; i < 300; ++i)
        buffer.AppendLine(QStringLiteral("line"));
    buffer.SetCharactersPerLine(1);
    for (int i = 0; i < 400; ++i)
        buffer.TypeCharacter(QLatin1Char('x'));
    EXPECT_EQ(buffer.LiveText().size(), TerminalBuffer::kMaxLiveLength);
    EXPECT_EQ(buffer.EntryCount(), TerminalBuffer::kMaxEntries);
    EXPECT_EQ(buffer.Enter().size(), TerminalBuffer::kMaxLiveLength - 2);
}

TEST(TerminalBuffer, RecalledLongCommandStillKeeps256Entries) {
    TerminalBuffer buffer = StartedBuffer();
    for (int i = 0; i < 200; ++i)
        buffer.TypeCharacter(QLatin1Char('x'));
    buffer.Enter();
    for (int i = 0; i < 300; ++i)
        buffer.AppendLine(QStringLiteral("line"));
    buffer.SetCharactersPerLine(1);
    // The recalled command wraps onto 202 rows where the empty one took 2.
    buffer.RecallOlder();
    EXPECT_EQ(buffer.Command().size(), 200);
    EXPECT_EQ(buffer.EntryCount(), TerminalBuffer::kMaxEntries);
}

TEST(TerminalBuffer, LongArrivingLineIsCut) {
    TerminalBuffer buffer;
    buffer.AppendLine(QString(5000, QLatin1Char('a')));
    EXPECT_EQ(buffer.FinishedLines().back().size(), TerminalBuffer::kMaxLineLength + 1);
}

TEST(TerminalBuffer, ArrivingLineDropsBreaksAndCutsAfterThem) {
    TerminalBuffer buffer;
    buffer.AppendLine(QStringLiteral("\r\nab\rc\n") + QString(2000, QLatin1Char('d')));
    const QString line = buffer.FinishedLines().back();
    EXPECT_EQ(line.size(), TerminalBuffer::kMaxLineLength + 1);
    EXPECT_TRUE(line.startsWith(QStringLiteral("abcddd")));
    EXPECT_TRUE(line.endsWith(QStringLiteral("d\n")));
}

// The live row count is worked out without cutting the line; it must agree
// with the rows cut, at the edges of a row above all.
struct RowCountCase {
    const char* name;
    int typed;
    int width;
};

void PrintTo(const RowCountCase& c, std::ostream* os) {
    *os << c.name;
}

class LiveRowCount : public ::testing::TestWithParam<RowCountCase> {};

TEST_P(LiveRowCount, AgreesWithTheRowsCut) {
    TerminalBuffer buffer;
    buffer.SetPrompt(QStringLiteral("> "));
    buffer.SetCharactersPerLine(GetParam().width);
    for (int i = 0; i < GetParam().typed; ++i)
        buffer.TypeCharacter(QLatin1Char('x'));
    EXPECT_EQ(buffer.LiveRowCount(), buffer.LiveRows().size());
    EXPECT_EQ(buffer.EntryCount(),
              static_cast<int>(buffer.FinishedLines().size() + buffer.LiveRows().size()));
}

const RowCountCase kRowCountCases[] = {
    {"PromptOnly", 0, 79},         {"PromptFillsRow", 0, 2},   {"OneOverRow", 1, 2},
    {"ExactlyThreeRows", 4, 2},    {"WidthOne", 10, 1},        {"FullLineWidthOne", 300, 1},
    {"FullLineExactRows", 253, 5}, {"WiderThanLine", 10, 200},
};

INSTANTIATE_TEST_SUITE_P(Terminal, LiveRowCount, ::testing::ValuesIn(kRowCountCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TerminalBuffer, HistoryKeepsLast100Commands) {
    TerminalBuffer buffer = StartedBuffer();
    for (int i = 0; i < 120; ++i) {
        for (QChar c : QString::number(i))
            buffer.TypeCharacter(c);
        buffer.Enter();
    }
    EXPECT_EQ(buffer.HistorySize(), 100);
    for (int i = 0; i < 150; ++i)
        buffer.RecallOlder();
    EXPECT_EQ(buffer.Command(), "20");
}

}  // namespace
