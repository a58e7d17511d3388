#include "WindowTestSupport.h"

#include "AvPresetPage.h"
#include "ControlPage.h"
#include "ProgressWindow.h"

#include <QtTest/qtestspontaneevent.h>
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <functional>
#include <map>

namespace {

// Where a widget lives: under one tab's page, or "window" for everything
// outside the pages (connection row, tab row, Progress window).
QString RegionOf(MainDialog& window, const QWidget* widget) {
    // A window of its own (the preset editor) has its own Alt keys.
    if (widget->window() != &window)
        return QStringLiteral("own window ") + widget->window()->windowTitle();
    QTabWidget* tabs = window.Tabs();
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->widget(i)->isAncestorOf(widget))
            return tabs->tabText(i);
    }
    return QStringLiteral("window");
}

// Adds the Terminal tab when the window offers it, so that it is walked too.
void ShowEveryTab(MainDialog& window) {
    for (QAction* menu : window.MenuBar()->actions()) {
        for (QAction* item : menu->menu()->actions()) {
            if (item->text().remove('&') == "Terminal" && item->isEnabled() && !item->isChecked())
                item->trigger();
        }
    }
}

class Accessibility : public WindowFixture {};

TEST_F(Accessibility, EveryControlOnEveryPageHasAUniqueName) {
    MainDialog& window = Window();
    ShowEveryTab(window);
    window.GetProgressWindow()->Begin("Restoring Receiver Settings...");
    QStringList faults;
    std::map<QString, std::map<QString, int>> namesByRegion;
    int checked = 0;
    for (int tab = 0; tab < window.Tabs()->count(); ++tab) {
        // Each page as the user sees it when its tab is chosen.
        window.Tabs()->setCurrentIndex(tab);
        const QString title = window.Tabs()->tabText(tab);
        for (QWidget* widget : window.findChildren<QWidget*>()) {
            const QString region = RegionOf(window, widget);
            if ((region != title && !(tab == 0 && region == "window")) ||
                !widget->isVisibleTo(widget->window()) || IsPartOfAnother(widget, &window) ||
                !IsInteractive(widget)) {
                continue;
            }
            ++checked;
            const QString name = AccessibleNameOf(widget);
            if (name.isEmpty())
                faults << region + ": " + Describe(widget) + " has no name";
            else
                ++namesByRegion[region][name];
        }
    }
    for (const auto& [region, names] : namesByRegion) {
        for (const auto& [name, count] : names) {
            if (count > 1)
                faults
                    << region +
                           QStringLiteral(": %1 controls are all named '%2'").arg(count).arg(name);
        }
    }
    window.GetProgressWindow()->End();
    EXPECT_GT(checked, 70);
    EXPECT_TRUE(faults.isEmpty()) << qPrintable(faults.join('\n'));
}

TEST_F(Accessibility, NoTextIsDrawnLikeADisabledControl) {
    MainDialog& window = Window();
    for (QLabel* label : window.findChildren<QLabel*>()) {
        // A label may grey out with the control it names; other text never does.
        if (label->buddy() == nullptr && label->parentWidget()->isEnabled()) {
            EXPECT_TRUE(label->isEnabled()) << qPrintable(label->text());
        }
    }
}

TEST_F(Accessibility, MnemonicsAreUniqueOnEveryPageAndInEveryMenu) {
    MainDialog& window = Window();
    ShowEveryTab(window);
    std::map<QString, QStringList> byRegion;
    for (QAction* menu : window.MenuBar()->actions()) {
        byRegion["window"] << menu->text();
        QStringList items;
        for (QAction* item : menu->menu()->actions()) {
            if (item->isSeparator())
                continue;
            EXPECT_FALSE(MnemonicOf(item->text()).isEmpty()) << qPrintable(item->text());
            items << MnemonicOf(item->text());
        }
        EXPECT_EQ(items.size(), QSet<QString>(items.begin(), items.end()).size())
            << qPrintable(menu->text());
    }
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        QString caption;
        if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy())
            caption = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            caption = button->text();
        if (!MnemonicOf(caption).isEmpty())
            byRegion[RegionOf(window, widget)] << caption;
    }
    for (const auto& [region, captions] : byRegion) {
        QStringList inScope = captions;
        if (region != "window" && !region.startsWith("own window "))
            inScope += byRegion["window"];
        std::map<QString, QStringList> byLetter;
        for (const QString& caption : inScope)
            byLetter[MnemonicOf(caption)] << caption;
        for (const auto& [letter, users] : byLetter) {
            EXPECT_EQ(users.size(), 1) << qPrintable(region) << ": Alt+" << qPrintable(letter)
                                       << " for " << qPrintable(users.join(", "));
        }
    }
}

struct TabOrderCase {
    const char* region;  // a tab title, or "window" for the rows above the pages
    std::function<QStringList()> expected;
};

void PrintTo(const TabOrderCase& c, std::ostream* os) {
    *os << c.region;
}

class TabOrder : public WindowFixture, public ::testing::WithParamInterface<TabOrderCase> {};

// Tab visits every control of the page, in reading order.
TEST_P(TabOrder, FollowsReadingOrderAndReachesEveryControl) {
    const TabOrderCase& c = GetParam();
    MainDialog& window = ShownWindow();
    const QString region = QString::fromLatin1(c.region);
    ASSERT_TRUE(window.SelectTab(region == "window" ? QStringLiteral("Control") : region));
    const QList<QWidget*> cycle = TabCycle(window.findChild<QLineEdit*>("status"));

    QStringList names;
    for (QWidget* widget : cycle) {
        if (RegionOf(window, widget) == region)
            names << AccessibleNameOf(widget);
    }
    EXPECT_EQ(names, c.expected());

    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (RegionOf(window, widget) != region || !widget->isVisible() || !widget->isEnabled() ||
            (widget->focusPolicy() & Qt::TabFocus) == 0 || IsPartOfAnother(widget, &window)) {
            continue;
        }
        // Of a group of radio buttons Tab reaches the checked one; arrows the others.
        if (auto* radio = qobject_cast<QRadioButton*>(widget); radio && !radio->isChecked())
            continue;
        EXPECT_TRUE(cycle.contains(widget)) << qPrintable(Describe(widget)) << " is not reached";
    }
}

QStringList AvPresetOrder() {
    QStringList names;
    for (int preset = 1; preset <= 5; ++preset) {
        for (const char* column : {"Name", "Listening Mode", "DSP Options", "Tone Controls",
                                   "Speaker Setup", "Display Setup"}) {
            // A combo is announced with its label, then its group's title.
            const bool combo = QByteArray(column) != "Name";
            names << QStringLiteral("Preset %1 %2").arg(preset).arg(column) +
                         (combo ? QStringLiteral(" Preset Configuration") : QString());
        }
    }
    return names;
}

INSTANTIATE_TEST_SUITE_P(
    Pages, TabOrder,
    ::testing::Values(TabOrderCase{"window",
                                   // The tab row is announced by its current tab.
                                   [] {
                                       return QStringList{"Status",    "Connect", "View:",
                                                          "Com Port:", "Close",   "Control"};
                                   }},
                      TabOrderCase{
                          "Control",
                          [] {
                              return QStringList{
                                  "Power",   "Mute",           "SpeakerA",      "SpeakerB",
                                  "Bass:",   "Treble:",        "Dialog:",       "Tone Defeat",
                                  "Volume:", "Surround Mode:", "Lip Sync (ms)", "Audyssey:",
                                  "Center:", "Surround",       "Sub",           "Source 1"};
                          }},
                      TabOrderCase{"A/V Preset", AvPresetOrder}),
    [](const auto& info) {
        QString name = QString::fromLatin1(info.param.region);
        return name.remove('/').remove(' ').toStdString();
    });

class Keyboard : public WindowFixture {};

TEST_F(Keyboard, FocusStartsOnConnectAndEnterConnects) {
    MainDialog& window = ShownWindow();
    EXPECT_EQ(QApplication::focusWidget(), window.ConnectButton());
    m_prompts.answerYes = false;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(m_prompts.questions.size(), 1);
    // Enter in a drop-down list presses the default button too.
    window.ViewCombo()->setFocus();
    QTest::keyClick(window.ViewCombo(), Qt::Key_Return);
    EXPECT_EQ(m_prompts.questions.size(), 2);
}

TEST_F(Keyboard, ConnectFromTheKeyboardLeavesTheFocusOnConnect) {
    StartSim(3);
    MainDialog& window = ShownWindow();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_P, Qt::AltModifier);
    ASSERT_EQ(QApplication::focusWidget(), window.PortCombo());
    window.PortCombo()->lineEdit()->selectAll();
    QTest::keyClicks(window.PortCombo()->lineEdit(), "COM3");
    // Back along the reading order: View, then Connect.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ShiftModifier);
    ASSERT_EQ(QApplication::focusWidget(), window.ConnectButton());
    m_prompts.answerYes = true;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(WaitUntilFree());
    EXPECT_TRUE(window.State().connected);
    EXPECT_EQ(window.StatusText(), "Connected to ZA11 on COM3");
    // The Progress window had the keyboard while the settings were read; the
    // window's own focus is where its keyboard work goes on.
    EXPECT_EQ(window.focusWidget(), window.ConnectButton());
}

struct ControlKeyCase {
    const char* name;
    ControlId controlId;
    Qt::Key key;
    const char* settingKey;
    const char* value;  // stored afterwards
};

void PrintTo(const ControlKeyCase& c, std::ostream* os) {
    *os << c.name;
}

class ControlPageKeys : public WindowFixture,
                        public ::testing::WithParamInterface<ControlKeyCase> {};

TEST_P(ControlPageKeys, ChangeTheSetting) {
    const ControlKeyCase& c = GetParam();
    MainDialog& window = ShownWindow();
    ASSERT_TRUE(window.SelectTab("Control"));
    QWidget* control = ControlWidget(c.controlId);
    ASSERT_NE(control, nullptr);
    control->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), control);
    QTest::keyClick(control, c.key);
    EXPECT_EQ(window.Store().GetValue(c.settingKey), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Control, ControlPageKeys,
    ::testing::Values(
        ControlKeyCase{"PowerDownIsOff", ControlId::Power, Qt::Key_Down, "Main.Power", "Off"},
        ControlKeyCase{"BassUpIsTheLowerLevel", ControlId::Bass, Qt::Key_Up, "Main.Bass", "-2"},
        ControlKeyCase{"SurroundModeEndIsTheLastMode", ControlId::ListeningMode, Qt::Key_End,
                       "Main.ListeningMode", "AnalogBypass"},
        ControlKeyCase{"LipSyncUpAddsAMillisecond", ControlId::LipSyncDelay, Qt::Key_Up,
                       "Main.LipSyncDelay", "1"},
        ControlKeyCase{"SourceDownIsTheNextSource", ControlId::MainSource, Qt::Key_Down,
                       "Main.Source", "2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Keyboard, TabSwitchGivesTheFocusBackToThePagesControl) {
    MainDialog& window = ShownWindow();
    auto* status = window.findChild<QLineEdit*>("status");
    ASSERT_TRUE(window.SelectTab("Control"));
    QWidget* bass = ControlWidget(ControlId::Bass);
    bass->setFocus();
    ASSERT_TRUE(window.SelectTab("A/V Preset"));
    EXPECT_EQ(QApplication::focusWidget(),
              window.GetAvPresetPage()->Control(ControlId::Preset1Name));
    QWidget* presetThree = window.GetAvPresetPage()->Control(ControlId::Preset3SetupDSPOptions);
    presetThree->setFocus();

    ASSERT_TRUE(window.SelectTab("Control"));
    EXPECT_EQ(QApplication::focusWidget(), bass);
    ASSERT_TRUE(window.SelectTab("A/V Preset"));
    EXPECT_EQ(QApplication::focusWidget(), presetThree);

    // A page without controls leaves the focus on the tab row, not in Status.
    status->setFocus();
    ASSERT_TRUE(window.SelectTab("Tuner"));
    EXPECT_NE(QApplication::focusWidget(), status);
    for (int tab = 0; tab < window.Tabs()->count(); ++tab) {
        if (!window.Tabs()->widget(tab)->findChildren<QWidget*>().isEmpty())
            continue;
        window.Tabs()->setCurrentIndex(tab);
        EXPECT_EQ(QApplication::focusWidget(), window.Tabs()->tabBar()) << tab;
    }
    // Someone walking the tab row with the arrow keys stays there.
    window.Tabs()->tabBar()->setFocus();
    QTest::keyClick(window.Tabs()->tabBar(), Qt::Key_Left);
    EXPECT_EQ(QApplication::focusWidget(), window.Tabs()->tabBar());
}

struct MnemonicCase {
    const char* name;
    Qt::Key key;
    std::function<void(MainDialog&, const ScriptedPrompts&)> check;
};

void PrintTo(const MnemonicCase& c, std::ostream* os) {
    *os << c.name;
}

class Mnemonic : public WindowFixture, public ::testing::WithParamInterface<MnemonicCase> {};

TEST_P(Mnemonic, AltKeyReachesItsControl) {
    const MnemonicCase& c = GetParam();
    MainDialog& window = ShownWindow();
    m_prompts.answerYes = false;
    QTest::keyClick(QApplication::focusWidget(), c.key, Qt::AltModifier);
    c.check(window, m_prompts);
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
}

void ExpectMenuOpen(const char* title) {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr) << title;
    EXPECT_EQ(menu->title(), title);
}

INSTANTIATE_TEST_SUITE_P(
    ConnectionRowAndMenus, Mnemonic,
    ::testing::Values(
        MnemonicCase{"AltVFocusesView", Qt::Key_V,
                     [](MainDialog& w, const ScriptedPrompts&) {
                         EXPECT_EQ(QApplication::focusWidget(), w.ViewCombo());
                     }},
        MnemonicCase{"AltPFocusesComPort", Qt::Key_P,
                     [](MainDialog& w, const ScriptedPrompts&) {
                         EXPECT_EQ(QApplication::focusWidget(), w.PortCombo());
                     }},
        MnemonicCase{"AltCConnects", Qt::Key_C,
                     [](MainDialog&, const ScriptedPrompts& p) {
                         // A mnemonic presses its button as a short animated click.
                         EXPECT_TRUE(QTest::qWaitFor([&] { return p.questions.size() == 1; }));
                     }},
        MnemonicCase{"AltLCloses", Qt::Key_L,
                     [](MainDialog& w, const ScriptedPrompts&) {
                         EXPECT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }));
                     }},
        MnemonicCase{"AltFOpensFile", Qt::Key_F,
                     [](MainDialog&, const ScriptedPrompts&) { ExpectMenuOpen("&File"); }},
        MnemonicCase{"AltWOpensView", Qt::Key_W,
                     [](MainDialog&, const ScriptedPrompts&) { ExpectMenuOpen("Vie&w"); }},
        MnemonicCase{"AltHOpensHelp", Qt::Key_H,
                     [](MainDialog&, const ScriptedPrompts&) { ExpectMenuOpen("&Help"); }}),
    [](const auto& info) { return std::string(info.param.name); });

void RollWheel(QWidget* control) {
    const QPointF at = control->rect().center();
    QWheelEvent wheel(at, control->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel);  // as the window system sends it
    qApp->notify(control, &wheel);
}

TEST_F(Keyboard, WheelStepsOnlyAControlTheUserFocused) {
    MainDialog& window = ShownWindow();
    const std::vector<QByteArray> stored = window.Store().Lines();
    for (int i = 0; i < window.Tabs()->count(); ++i) {
        window.Tabs()->setCurrentIndex(i);
        for (QWidget* control : window.Tabs()->findChildren<QWidget*>()) {
            if (control->isVisible() &&
                (control->inherits("QComboBox") || control->inherits("QAbstractSpinBox")))
                RollWheel(control);
        }
    }
    EXPECT_TRUE(window.Store().Lines() == stored);
    window.SelectTab(QStringLiteral("Control"));
    ControlCombo(ControlId::Bass)->setFocus(Qt::MouseFocusReason);
    RollWheel(ControlCombo(ControlId::Bass));
    EXPECT_EQ(window.Store().GetValue("Main.Bass"), "2");
}

}  // namespace
