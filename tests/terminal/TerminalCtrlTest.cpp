#include "TerminalCtrl.h"
#include "TerminalPage.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

QApplication& Application() {
    static int argc = 1;
    static char name[] = "terminal-widget-tests";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// The rows the buffer holds, as the view must show them.
QString ExpectedText(const TerminalBuffer& buffer) {
    QStringList rows;
    for (QString entry : buffer.Entries()) {
        if (entry.endsWith('\n'))
            entry.chop(1);
        rows << entry;
    }
    return rows.join('\n');
}

class TerminalWidget : public ::testing::Test {
protected:
    TerminalWidget() { Application(); }
};

TEST_F(TerminalWidget, TypedCommandIsShownAndEntered) {
    TerminalPage page;
    page.resize(600, 300);
    page.show();
    TerminalCtrl* terminal = page.Control();
    QSignalSpy entered(terminal, &TerminalCtrl::CommandEntered);
    QTest::keyClicks(terminal, "Main.Model?");
    QTest::keyClick(terminal, Qt::Key_Return);
    terminal->AppendLine("Main.Model=ZA11");
    ASSERT_EQ(entered.size(), 1);
    EXPECT_EQ(entered.at(0).at(0).toString(), "Main.Model?");
    EXPECT_EQ(terminal->toPlainText(), ExpectedText(terminal->Buffer()));
    EXPECT_TRUE(terminal->toPlainText().endsWith("> Main.Model?\nMain.Model=ZA11\n> "));
}

TEST_F(TerminalWidget, ViewMatchesBufferPastTheEntryLimitAndAfterResize) {
    TerminalCtrl terminal;
    terminal.resize(300, 200);
    terminal.show();
    for (int i = 0; i < 300; ++i)
        terminal.AppendLine(QString::number(i));
    QTest::keyClicks(&terminal, "Zone2.Volume=-40 and more text that wraps");
    EXPECT_EQ(terminal.document()->blockCount(), TerminalBuffer::kMaxEntries);
    EXPECT_EQ(terminal.toPlainText(), ExpectedText(terminal.Buffer()));
    terminal.resize(600, 200);
    QApplication::processEvents();
    EXPECT_EQ(terminal.toPlainText(), ExpectedText(terminal.Buffer()));
    EXPECT_GT(terminal.Buffer().CharactersPerLine(), 40);
}

TEST_F(TerminalWidget, MouseSelectionSurvivesArrivingLinesAndIsCopied) {
    TerminalCtrl terminal;
    QTextCursor select(terminal.document()->firstBlock());
    select.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    terminal.setTextCursor(select);
    terminal.AppendLine("Main.Volume=-30");
    EXPECT_EQ(terminal.textCursor().selectedText(), "Velmar Audio");
    QTest::keyClick(&terminal, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "Velmar Audio");
}

TEST_F(TerminalWidget, PasteTypesTheFirstLine) {
    TerminalCtrl terminal;
    QApplication::clipboard()->setText("Main.Mute=On\nMain.Power=Off");
    QTest::keyClick(&terminal, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(terminal.Buffer().Command(), "Main.Mute=On");
}

TEST_F(TerminalWidget, ViewFollowsNewLinesUnlessScrolledBack) {
    TerminalCtrl terminal;
    terminal.resize(300, 150);
    terminal.show();
    for (int i = 0; i < 100; ++i)
        terminal.AppendLine(QString::number(i));
    QScrollBar* bar = terminal.verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(0);
    terminal.AppendLine("while reading back");
    EXPECT_EQ(bar->value(), 0);
    QTest::keyClicks(&terminal, "M");
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(TerminalWidget, ScreenReaderReadsReceivedLines) {
    TerminalCtrl terminal;
    terminal.AppendLine("Main.Model=ZA11");
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(&terminal);
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->text(QAccessible::Name), "Terminal");
    QAccessibleTextInterface* text = access->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->text(0, text->characterCount()).contains("Main.Model=ZA11"));
}

TEST_F(TerminalWidget, EnterNeverPressesTheWindowsDefaultButton) {
    QDialog window;
    auto* layout = new QVBoxLayout(&window);
    auto* page = new TerminalPage;
    auto* button = new QPushButton("Connect");
    button->setDefault(true);
    layout->addWidget(page);
    layout->addWidget(button);
    window.show();
    QSignalSpy clicked(button, &QPushButton::clicked);
    QTest::keyClick(page->Control(), Qt::Key_Return);
    QTest::keyClick(page->Control(), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(page, Qt::Key_Return);
    EXPECT_EQ(clicked.size(), 0);
}

struct SendCase {
    const char* name;
    const char* typed;
    bool hookSet;
    bool sendSucceeds;
    QByteArrayList sent;
    const char* lastShown;
};

void PrintTo(const SendCase& c, std::ostream* os) {
    *os << c.name;
}

const SendCase kSendCases[] = {
    {"CommandHandedOverAsTyped", "Main.Model?", true, true, {"Main.Model?"}, "> "},
    {"BarePromptSendsAnEmptyLine", "", true, true, {""}, "> "},
    {"NoWindowCommitsButSendsNothing", "Main?", false, true, {}, "> "},
    {"ClosedPortIsSaidInTheTerminal",
     "Main?",
     true,
     false,
     {"Main?"},
     "(not sent: the receiver's port is not open)"},
};

class TerminalPageSend : public TerminalWidget, public ::testing::WithParamInterface<SendCase> {};

TEST_P(TerminalPageSend, Enter) {
    const SendCase& c = GetParam();
    TerminalPage page;
    page.resize(600, 300);
    page.show();
    QByteArrayList sent;
    if (c.hookSet) {
        page.SetSendHook([&](const QByteArray& command) {
            sent << command;
            return c.sendSucceeds;
        });
    }
    QTest::keyClicks(page.Control(), c.typed);
    QTest::keyClick(page.Control(), Qt::Key_Return);
    EXPECT_EQ(sent, c.sent);
    const QStringList entries = page.Control()->Buffer().Entries();
    EXPECT_TRUE(entries.contains(QStringLiteral("> %1\n").arg(c.typed)));
    const QString shown = entries.size() >= 2 && entries.last() == "> "
                              ? entries.at(entries.size() - 2).chopped(1)
                              : QString();
    EXPECT_EQ(QString::fromLatin1(c.lastShown) == "> " ? entries.last() : shown,
              QString::fromLatin1(c.lastShown));
}

INSTANTIATE_TEST_SUITE_P(Terminal, TerminalPageSend, ::testing::ValuesIn(kSendCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TerminalWidget, EchoLineShowsReceiverBytesInTheWindowsCodePage) {
    TerminalPage page;
    page.EchoLine(QByteArray("Source1.Name=Caf\xe9 \x80"));
    EXPECT_EQ(page.Control()->Buffer().Entries().at(page.Control()->Buffer().EntryCount() - 2),
              QStringLiteral("Source1.Name=Caf\u00E9 \u20AC\n"));
}

}  // namespace
