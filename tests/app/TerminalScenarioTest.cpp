#include "AppFixture.h"
#include "Await.h"

#include "TerminalCtrl.h"
#include "TerminalPage.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>

namespace {

class TerminalScenario : public AppFixture {
protected:
    QAction* TerminalItem() {
        for (QAction* menu : Window().MenuBar()->actions()) {
            for (QAction* item : menu->menu()->actions()) {
                if (item->text().remove(QLatin1Char('&')) == "Terminal")
                    return item;
            }
        }
        ADD_FAILURE() << "no View > Terminal";
        return nullptr;
    }

    QStringList TabTitles() {
        QStringList titles;
        for (int i = 0; i < Window().Tabs()->count(); ++i)
            titles << Window().Tabs()->tabText(i);
        return titles;
    }

    TerminalCtrl* OpenTerminal() {
        TerminalItem()->trigger();
        EXPECT_TRUE(Window().SelectTab("Terminal"));
        return Window().GetTerminalPage()->Control();
    }

    static bool Shows(const TerminalCtrl* terminal, const QString& row) {
        return terminal->toPlainText().split('\n').contains(row);
    }

    void Type(TerminalCtrl* terminal, const char* command) {
        QTest::keyClicks(terminal, command);
        QTest::keyClick(terminal, Qt::Key_Return);
    }
};

TEST_F(TerminalScenario, CommandUsedTwiceAddsTabAtEndAndRemovesIt) {
    const QStringList before = TabTitles();
    Window().SelectTab("Zone");
    QAction* item = TerminalItem();
    ASSERT_TRUE(item->isEnabled());
    ASSERT_TRUE(item->isCheckable());

    item->trigger();
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(TabTitles(), before + QStringList{"Terminal"});
    EXPECT_EQ(Window().CurrentTabTitle(), "Zone");

    Window().SelectTab("Terminal");
    item->trigger();
    EXPECT_FALSE(item->isChecked());
    EXPECT_EQ(TabTitles(), before);
    EXPECT_EQ(Window().CurrentTabTitle(), "Tuner");

    // Asked for directly, the item follows and the tab is never doubled.
    Window().OnToggleTerminal(true);
    Window().OnToggleTerminal(true);
    EXPECT_TRUE(item->isChecked());
    EXPECT_EQ(TabTitles(), before + QStringList{"Terminal"});
}

TEST_F(TerminalScenario, TypedCommandReachesReceiverAndAnswerIsShown) {
    ConnectToSim(3);
    TerminalCtrl* terminal = OpenTerminal();
    const qsizetype mark = CommandMark();
    Type(terminal, "Main.Model?");
    ASSERT_TRUE(WaitFor([&] { return Shows(terminal, "Main.Model=ZA11"); }, 3000));
    EXPECT_EQ(CommandsSince(mark), QByteArrayList{"Main.Model?"});
    const QStringList rows = terminal->toPlainText().split('\n');
    // Tuner lines from connecting or a keep-alive answer may come in between.
    EXPECT_GT(rows.indexOf("Main.Model=ZA11"), rows.indexOf("> Main.Model?"));
    EXPECT_GE(rows.indexOf("> Main.Model?"), 0);
    EXPECT_EQ(rows.last(), "> ");
}

TEST_F(TerminalScenario, SetCommandChangesTheBoundControlToo) {
    ConnectToSim(3);
    TerminalCtrl* terminal = OpenTerminal();
    Type(terminal, "Main.Bass=4");
    ASSERT_TRUE(WaitFor([&] { return Shows(terminal, "Main.Bass=4"); }, 3000));
    EXPECT_EQ(ControlCombo(ControlId::Bass)->currentText(), "4 dB");
}

TEST_F(TerminalScenario, LinesReachTerminalOnlyWhileItsTabIsCurrent) {
    ConnectToSim(3);
    TerminalCtrl* terminal = OpenTerminal();
    Window().SelectTab("Control");
    Window().Session().SendLine("Main.Treble?");
    // Lines arrive in order: once this answer is in, so is the treble line.
    EXPECT_EQ(QCoro::waitFor(Window().Session().Ask(CommandChannel::Kind::Query, "Main.Model?")).Text(),
              "Main.Model=ZA11");
    Window().SelectTab("Terminal");
    EXPECT_FALSE(terminal->toPlainText().contains("Main.Treble="));

    Window().Session().SendLine("Main.Treble?");
    EXPECT_TRUE(WaitFor([&] { return terminal->toPlainText().contains("Main.Treble="); }, 3000));
}

TEST_F(TerminalScenario, WithoutConnectionTheCommandIsNotSentAndTerminalSaysSo) {
    TerminalCtrl* terminal = OpenTerminal();
    Type(terminal, "Main.Model?");
    const QStringList rows = terminal->toPlainText().split('\n');
    ASSERT_GE(rows.size(), 3);
    EXPECT_EQ(rows.at(rows.size() - 3), "> Main.Model?");
    EXPECT_EQ(rows.at(rows.size() - 2), TerminalPage::kNotSent);
}

TEST_F(TerminalScenario, HistorySurvivesClosingTheTab) {
    TerminalCtrl* terminal = OpenTerminal();
    Type(terminal, "Zone2.Volume?");
    TerminalItem()->trigger();
    terminal = OpenTerminal();
    QTest::keyClick(terminal, Qt::Key_Up);
    EXPECT_EQ(terminal->Buffer().Command(), "Zone2.Volume?");
}

TEST_F(TerminalScenario, TerminalHasTheFocusWhenItsTabIsShown) {
    Window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window()));
    TerminalCtrl* terminal = OpenTerminal();
    EXPECT_TRUE(WaitFor(
        [&] { return terminal->hasFocus() || QApplication::focusWidget() == terminal; }, 1000));
}

}  // namespace
