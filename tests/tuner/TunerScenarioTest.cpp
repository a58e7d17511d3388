#include "AppFixture.h"
#include "Await.h"
#include "CaseLabel.h"

#include "ControlPage.h"
#include "GridCtrl.h"
#include "PresetEditor.h"
#include "PresetRecord.h"
#include "Screenshot.h"
#include "SettingsFile.h"
#include "SettingsStore.h"
#include "StepSpinBox.h"
#include "TunerPage.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <map>

namespace {

using CaseLabels::PrintTo;

using PresetRecord::kEmpty;

const QByteArray kTalk = "00910054414C4B0000000000000000FFFFFFFFFFFFFFFFFF";  // AM 1000 TALK
const QByteArray kJazz = "01AC07004A415A5A0000000000000000FFFFFFFFFFFFFFFF";  // FM 87.50 JAZZ

// What the editor showed each time a preset line reached the Tuner page.
struct Snapshot {
    QStringList numbers;
    int selectedRow = 0;
    QString presetNumber;
    bool skipping = false;
};

// The console connected to a simulator whose stored presets the test chose,
// the tuner selected as source, the Tuner tab open and the editor shown.
class TunerScenario : public AppFixture {
protected:
    void Open(const std::map<int, QByteArray>& presets) {
        SettingsStore state;
        state.Append("Main.Source=10");
        for (int n = 1; n <= PresetRecord::kPresetCount; ++n) {
            const auto found = presets.find(n);
            state.Append(PresetRecord::PresetKey(n) + '=' +
                         (found == presets.end() ? kEmpty : found->second));
        }
        const QString path = m_home.path() + "/receiver.kvx";
        ASSERT_TRUE(SaveToFile(state, path, "test receiver").ok);
        ConnectToSim(3, {"--state", path});
        Window().SelectTab("Tuner");
        Page().EditPresetsButton()->click();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Editor()));
    }
    TunerPage& Page() { return *Window().GetTunerPage(); }
    PresetEditor& Editor() { return *Page().Editor(); }
    CGridCtrl& Grid() { return *Editor().Grid(); }

    QStringList ListedNumbers() {
        QStringList numbers;
        for (int row = 1; row < Grid().GetRowCount(); ++row)
            numbers << Grid().GetCellText(row, 0);
        return numbers;
    }
    void ClickRow(int row) {
        const QModelIndex index = Grid().Cells().IndexOf(row, 1);
        Grid().scrollTo(index);
        QTest::mouseClick(Grid().viewport(), Qt::LeftButton, {}, Grid().visualRect(index).center());
    }
    // Waits until the store holds the record for the preset.
    bool WaitForPreset(int number, const QByteArray& record) {
        return WaitFor(
            [&] { return Window().Store().GetValue(PresetRecord::PresetKey(number)) == record; },
            3000);
    }
    // The preset commands the receiver got since the mark, once it has `count`.
    QByteArrayList PresetCommands(qsizetype mark, int count = 1) {
        WaitFor([&] { return PresetCommandsNow(mark).size() >= count; }, 3000);
        return PresetCommandsNow(mark);
    }
    QByteArrayList PresetCommandsNow(qsizetype mark) {
        QByteArrayList commands;
        for (const QByteArray& command : CommandsSince(mark)) {
            if (command.startsWith("Tuner.Preset"))
                commands << command;
        }
        return commands;
    }
    void RecordPresetLines() {
        // After the page's own handler: what it shows once it took the line.
        QObject::connect(
            &Window().Session(), &ReceiverSession::TunerLine, [this](const QByteArray& line) {
                if (line.startsWith("Tuner.Preset") && !line.startsWith("Tuner.Preset=")) {
                    m_snapshots.push_back({ListedNumbers(), Editor().SelectedRow(),
                                           Editor().PresetCombo()->currentText(),
                                           Editor().SkipsNextRebuild()});
                }
            });
    }
    int MarkedRow() { return Grid().GetSelectedRange().minRow; }
    // Without the keep-alive's tuner polls, whose timing is the machine's.
    QByteArrayList UserCommands(qsizetype mark) {
        QByteArrayList commands = CommandsSince(mark);
        commands.removeAll("Tuner?");
        return commands;
    }

    std::vector<Snapshot> m_snapshots;
};

TEST_F(TunerScenario, PresetsThreeAndSevenAreListedInOrder) {
    Open({{7, kJazz}, {3, kTalk}});
    EXPECT_EQ(ListedNumbers(), (QStringList{"3", "7"}));
    EXPECT_EQ(Grid().GetCellText(0, 0), "Preset #");
    EXPECT_EQ(Grid().GetCellText(1, 2), "1000 kHz");
    EXPECT_EQ(Grid().GetCellText(1, 3), "");
    EXPECT_EQ(Grid().GetCellText(2, 3), "No");
    EXPECT_EQ(Grid().GetCellText(2, 4), "JAZZ");
}

TEST_F(TunerScenario, MovingSevenUpSendsBothAndTheSelectionFollows) {
    Open({{7, kJazz}, {3, kTalk}});
    ClickRow(2);
    ASSERT_EQ(Editor().PresetCombo()->currentText(), "7");
    RecordPresetLines();
    const qsizetype mark = CommandMark();
    Editor().MoveUpButton()->click();
    EXPECT_EQ(PresetCommands(mark, 2),
              (QByteArrayList{"Tuner.Preset7=" + kEmpty, "Tuner.Preset6=" + kJazz}));
    ASSERT_TRUE(WaitFor([this] { return m_snapshots.size() >= 2; }, 3000));
    // The first answer only clears the skip flag: the list stands as it was.
    EXPECT_EQ(m_snapshots[0].numbers, (QStringList{"3", "7"}));
    EXPECT_FALSE(m_snapshots[0].skipping);
    EXPECT_EQ(m_snapshots[0].selectedRow, 2);
    // The second rebuilds with both values; the moved preset keeps row 2.
    EXPECT_EQ(m_snapshots[1].numbers, (QStringList{"3", "6"}));
    EXPECT_EQ(m_snapshots[1].presetNumber, "6");
    EXPECT_EQ(MarkedRow(), 2);
    EXPECT_EQ(Grid().GetCellText(2, 4), "JAZZ");
}

TEST_F(TunerScenario, MovingPastANeighbourTakesTheSelectionAlong) {
    Open({{3, kTalk}, {4, kJazz}});
    ClickRow(1);
    Editor().MoveDownButton()->click();
    ASSERT_TRUE(WaitForPreset(4, kTalk));
    ASSERT_TRUE(WaitFor([this] { return Grid().GetCellText(2, 4) == "TALK"; }, 3000));
    EXPECT_EQ(Editor().SelectedRow(), 2);
    EXPECT_EQ(MarkedRow(), 2);
    EXPECT_EQ(Editor().PresetCombo()->currentText(), "4");
}

TEST_F(TunerScenario, DeleteSendsAnEmptyRecordAndTheRowGoes) {
    Open({{7, kJazz}, {3, kTalk}});
    ClickRow(1);
    const qsizetype mark = CommandMark();
    Editor().DeleteButton()->click();
    EXPECT_EQ(PresetCommands(mark), QByteArrayList{"Tuner.Preset3=" + kEmpty});
    ASSERT_TRUE(WaitFor([this] { return ListedNumbers() == QStringList{"7"}; }, 3000));
}

TEST_F(TunerScenario, AddChangeComposesTheEntryAndTheListShowsTheAnswer) {
    Open({{3, kTalk}});
    Choose(Editor().PresetCombo(), "8");
    Choose(Editor().BandCombo(), "FM");
    Editor().ChannelSpin()->stepBy(1);
    Editor().ChannelSpin()->stepBy(1);
    EXPECT_EQ(Editor().ChannelSpin()->Text(), "87.60 MHz");
    QTest::keyClicks(Editor().NameEdit(), "NEWS");
    Editor().MuteBox()->setChecked(true);
    const qsizetype mark = CommandMark();
    Editor().AddChangeButton()->click();
    const QByteArray record = "01AE07014E4557530000000000000000FFFFFFFFFFFFFFFF";
    EXPECT_EQ(PresetCommands(mark), QByteArrayList{"Tuner.Preset8=" + record});
    ASSERT_TRUE(WaitFor([this] { return ListedNumbers() == QStringList{"3", "8"}; }, 3000));
    EXPECT_EQ(Grid().GetCellText(2, 2), "87.60 MHz");
    EXPECT_EQ(Grid().GetCellText(2, 3), "Yes");
    EXPECT_EQ(Grid().GetCellText(2, 4), "NEWS");
}

TEST_F(TunerScenario, XmKeepsTheDisabledNameAndStillWritesIt) {
    Open({{3, kTalk}});
    ClickRow(1);
    ASSERT_EQ(Editor().NameEdit()->text(), "TALK");
    Choose(Editor().BandCombo(), "XM");
    EXPECT_FALSE(Editor().NameEdit()->isEnabled());
    EXPECT_EQ(Editor().NameEdit()->text(), "TALK");
    EXPECT_EQ(Editor().ChannelSpin()->Text(), "0");
    const qsizetype mark = CommandMark();
    Editor().AddChangeButton()->click();
    EXPECT_EQ(PresetCommands(mark),
              QByteArrayList{"Tuner.Preset3=030054414C4B0000000000000000FFFFFFFFFFFFFFFFFFFF"});
}

// Choosing a band after loading a preset resets the channel by the band's rules.
struct BandChoiceCase {
    const char* label;
    int row;  // 1: AM 1000 kHz TALK, 2: FM 87.50 MHz JAZZ
    const char* band;
    const char* channel;
    bool nameEnabled;
    bool addEnabled;
    const char* name;  // FM chosen from another band starts a fresh name
};

class BandChoiceScenario : public TunerScenario,
                           public ::testing::WithParamInterface<BandChoiceCase> {};

TEST_P(BandChoiceScenario, ResetsTheChannel) {
    const BandChoiceCase& c = GetParam();
    Open({{3, kTalk}, {7, kJazz}});
    ClickRow(c.row);
    Choose(Editor().BandCombo(), c.band);
    EXPECT_EQ(Editor().ChannelSpin()->Text(), c.channel);
    EXPECT_EQ(Editor().NameEdit()->isEnabled(), c.nameEnabled);
    EXPECT_EQ(Editor().AddChangeButton()->isEnabled(), c.addEnabled);
    EXPECT_EQ(Editor().ChannelSpin()->isEnabled(), QByteArray(c.band) != "DAB");
    EXPECT_EQ(Editor().NameEdit()->text(), c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Editor, BandChoiceScenario,
    ::testing::Values(
        BandChoiceCase{"FmToAm", 2, "AM", "530 kHz", true, true, "JAZZ"},
        BandChoiceCase{"FmToXmKeepsLeading87", 2, "XM", "87.50 MHz", false, true, "JAZZ"},
        BandChoiceCase{"AmToFm", 1, "FM", "87.50 MHz", true, true, ""},
        BandChoiceCase{"FmAgainKeepsTheName", 2, "FM", "87.50 MHz", true, true, "JAZZ"},
        BandChoiceCase{"AmToXmOutOfRange", 1, "XM", "0", false, true, "TALK"},
        BandChoiceCase{"FmToDab", 2, "DAB", "87.50 MHz", false, false, "JAZZ"}),
    CaseLabels::ByLabel());

TEST_F(TunerScenario, ChangingTheMuteOfAnFmRowKeepsItsName) {
    Open({{7, kJazz}});
    ClickRow(1);
    EXPECT_EQ(Editor().BandCombo()->currentText(), "FM");
    EXPECT_EQ(Editor().ChannelSpin()->Text(), "87.50 MHz");
    EXPECT_EQ(Editor().NameEdit()->text(), "JAZZ");
    EXPECT_FALSE(Editor().MuteBox()->isChecked());
    Editor().MuteBox()->setChecked(true);
    const qsizetype mark = CommandMark();
    Editor().AddChangeButton()->click();
    EXPECT_EQ(PresetCommands(mark),
              QByteArrayList{"Tuner.Preset7=01AC07014A415A5A0000000000000000FFFFFFFFFFFFFFFF"});
}

TEST_F(TunerScenario, ThirteenthNameCharacterIsRefusedOnce) {
    Open({});
    Choose(Editor().BandCombo(), "AM");
    QTest::keyClicks(Editor().NameEdit(), "ABCDEFGHIJKLM");
    EXPECT_EQ(Editor().NameEdit()->text(), "ABCDEFGHIJKL");
    // The message is posted: it waits until no receiver line or Request is under way.
    ASSERT_TRUE(WaitFor([this] { return !m_prompts.messages.isEmpty(); }, 2000));
    QTest::qWait(50);
    EXPECT_EQ(m_prompts.messages, QStringList{PresetEditor::kNameTooLong});
    // A pasted text is cut to twelve with one message.
    Editor().NameEdit()->setText("abcdefghijklmnopqrst");
    EXPECT_EQ(Editor().NameEdit()->text(), "abcdefghijkl");
    ASSERT_TRUE(WaitFor([this] { return m_prompts.messages.size() >= 2; }, 2000));
    QTest::qWait(50);
    EXPECT_EQ(m_prompts.messages.size(), 2);
}

TEST_F(TunerScenario, HeaderClickDropsTheSelectionButKeepsTheFields) {
    Open({{3, kTalk}});
    ClickRow(1);
    QHeaderView* header = Grid().horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 4, header->height() / 2));
    EXPECT_EQ(Editor().SelectedRow(), 0);
    EXPECT_EQ(Editor().PresetCombo()->currentText(), "3");
    EXPECT_EQ(Editor().ChannelSpin()->Text(), "1000 kHz");
}

TEST_F(TunerScenario, AllFortyPresetsCanBeFilledAndReordered) {
    Open({});
    for (int n = 1; n <= PresetRecord::kPresetCount; ++n) {
        Choose(Editor().PresetCombo(), QString::number(n));
        Choose(Editor().BandCombo(), "XM");
        Editor().NameEdit()->clear();
        for (int step = 0; step < n % 3; ++step)
            Editor().ChannelSpin()->stepBy(1);
        Editor().AddChangeButton()->click();
    }
    ASSERT_TRUE(WaitFor([this] { return Grid().GetRowCount() == 41; }, 5000));
    ClickRow(40);
    EXPECT_EQ(Editor().PresetCombo()->currentText(), "40");
    const QString last = Grid().GetCellText(40, 2);
    const QString before = Grid().GetCellText(39, 2);
    Editor().MoveUpButton()->click();
    ASSERT_TRUE(WaitFor([&] { return Grid().GetCellText(39, 2) == last; }, 3000));
    EXPECT_EQ(Grid().GetCellText(40, 2), before);
    EXPECT_EQ(MarkedRow(), 39);
    EXPECT_EQ(Editor().PresetCombo()->currentText(), "39");
}

TEST_F(TunerScenario, PageTunesAndShowsWhatTheReceiverReports) {
    Open({});
    Editor().hide();
    QRadioButton* fm = Page().BandButton(TunerBand::Fm);
    ASSERT_TRUE(fm->isEnabled());
    qsizetype mark = CommandMark();
    fm->click();
    ASSERT_TRUE(WaitFor([this] { return Page().ChannelDisplay()->Text() == "87.50 MHz"; }, 3000));
    EXPECT_TRUE(fm->isChecked());
    // The channel field's upper arrow (here its Up key) tunes up.
    Page().ChannelDisplay()->setFocus();
    QTest::keyClick(Page().ChannelDisplay(), Qt::Key_Up);
    ASSERT_TRUE(WaitFor([this] { return Page().ChannelDisplay()->Text() == "87.55 MHz"; }, 3000));
    Page().TuneDownButton()->click();
    ASSERT_TRUE(WaitFor([this] { return Page().ChannelDisplay()->Text() == "87.50 MHz"; }, 3000));
    EXPECT_EQ(UserCommands(mark), (QByteArrayList{"Tuner.Band=FM", "Main.IR=212", "Main.IR=211"}));

    Page().BandButton(TunerBand::Xm)->click();
    ASSERT_TRUE(
        WaitFor([this] { return Page().ChannelDisplay()->Text() == "XM 12 - JAZZ"; }, 3000));
    EXPECT_TRUE(Page().BandButton(TunerBand::Xm)->isChecked());
    EXPECT_FALSE(fm->isChecked());

    mark = CommandMark();
    Page().FmMuteBox()->click();
    ASSERT_TRUE(WaitFor([this] { return m_sim->SentLines().contains("Tuner.FM.Mute=On"); }, 3000));
    EXPECT_EQ(UserCommands(mark), QByteArrayList{"Tuner.FM.Mute+"});
    // The box shows what the receiver reports, whoever changed it.
    Window().Session().SendLine("Tuner.FM.Mute+");
    ASSERT_TRUE(WaitFor([this] { return !Page().FmMuteBox()->isChecked(); }, 3000));
}

TEST_F(TunerScenario, PresetArrowsStepThroughStoredPresets) {
    Open({{3, kTalk}, {7, kJazz}});
    Editor().hide();
    const qsizetype mark = CommandMark();
    Page().PresetDisplay()->stepBy(1);
    ASSERT_TRUE(WaitFor([this] { return Page().PresetDisplay()->Text() == "3"; }, 3000));
    ASSERT_TRUE(WaitFor([this] { return Page().ChannelDisplay()->Text() == "1000 KHz"; }, 3000));
    EXPECT_TRUE(Page().BandButton(TunerBand::Am)->isChecked());
    Page().PresetDisplay()->stepBy(-1);
    ASSERT_TRUE(WaitFor([this] { return Page().PresetDisplay()->Text() == "7"; }, 3000));
    EXPECT_EQ(UserCommands(mark), (QByteArrayList{"Tuner.Preset+", "Tuner.Preset-"}));
}

TEST_F(TunerScenario, ControlsFollowTheMainSource) {
    Open({});
    Window().SelectTab("Control");
    Window().GetControlPage()->SourceButton(8)->click();
    EXPECT_FALSE(Page().EditPresetsButton()->isEnabled());
    EXPECT_FALSE(Page().BandButton(TunerBand::Am)->isEnabled());
    EXPECT_FALSE(Page().ChannelDisplay()->isEnabled());
    Window().GetControlPage()->SourceButton(10)->click();
    EXPECT_TRUE(Page().EditPresetsButton()->isEnabled());
    EXPECT_TRUE(Page().InformationBox()->isEnabled());
}

TEST_F(TunerScenario, RdsTextsReachTheInformationBox) {
    Open({});
    Editor().hide();
    Page().BandButton(TunerBand::Fm)->click();
    Window().Session().SendLine("Tuner?");
    ASSERT_TRUE(WaitFor(
        [this] {
            return Page().InformationBox()->toPlainText() ==
                   "RDS Name:\tJAZZ FM\nRDS Text:\tBlue Harbour - The Corner Trio";
        },
        3000));
    EXPECT_TRUE(Page().InformationBox()->isReadOnly());
}

}  // namespace

namespace {

// Each control keeps to its edges of the window as the window grows.
struct AnchorCase {
    const char* label;
    QWidget* (*control)(PresetEditor&);
    bool movesRight;
    bool movesDown;
    bool growsWide;
    bool growsTall;
};

class EditorLayout : public TunerScenario, public ::testing::WithParamInterface<AnchorCase> {};

TEST_P(EditorLayout, ControlKeepsItsAnchors) {
    const AnchorCase& c = GetParam();
    Open({});
    QWidget* control = c.control(Editor());
    const QRect before = control->geometry();
    const QSize grow(120, 90);
    Editor().resize(Editor().size() + grow);
    QCoreApplication::processEvents();
    const QRect after = control->geometry();
    EXPECT_EQ(after.x() - before.x(), c.movesRight ? grow.width() : 0);
    EXPECT_EQ(after.y() - before.y(), c.movesDown ? grow.height() : 0);
    EXPECT_EQ(after.width() - before.width(), c.growsWide ? grow.width() : 0);
    EXPECT_EQ(after.height() - before.height(), c.growsTall ? grow.height() : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Editor, EditorLayout,
    ::testing::Values(
        AnchorCase{"ListGrowsBothWays", [](PresetEditor& e) -> QWidget* { return e.Grid(); }, false,
                   false, true, true},
        AnchorCase{"OkKeepsToBottomRight", [](PresetEditor& e) -> QWidget* { return e.OkButton(); },
                   true, true, false, false},
        AnchorCase{"MoveUpKeepsToTheRight",
                   [](PresetEditor& e) -> QWidget* { return e.MoveUpButton(); }, true, false, false,
                   false},
        AnchorCase{"DeleteKeepsToTheRight",
                   [](PresetEditor& e) -> QWidget* { return e.DeleteButton(); }, true, false, false,
                   false},
        AnchorCase{"PresetNumberKeepsToTheBottom",
                   [](PresetEditor& e) -> QWidget* { return e.PresetCombo(); }, false, true, false,
                   false},
        AnchorCase{"NameKeepsToTheBottom", [](PresetEditor& e) -> QWidget* { return e.NameEdit(); },
                   false, true, false, false},
        AnchorCase{"AddChangeKeepsToTheBottom",
                   [](PresetEditor& e) -> QWidget* { return e.AddChangeButton(); }, false, true,
                   false, false}),
    CaseLabels::ByLabel());

// Every control a keyboard reaches has a name a screen reader can say.
TEST_F(TunerScenario, EveryFocusableControlIsNamed) {
    Open({});
    int checked = 0;
    for (QWidget* root : {static_cast<QWidget*>(&Page()), static_cast<QWidget*>(&Editor())}) {
        for (QWidget* widget : root->findChildren<QWidget*>()) {
            if (widget->focusPolicy() == Qt::NoFocus || !widget->isVisibleTo(root) ||
                qobject_cast<QAbstractSpinBox*>(widget->parentWidget()) != nullptr ||
                widget->window() != root->window()) {
                continue;
            }
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
            ASSERT_NE(accessible, nullptr);
            ++checked;
            EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty())
                << widget->metaObject()->className() << " " << qPrintable(widget->objectName());
        }
    }
    // The page's 10 controls and the editor's 11.
    EXPECT_GE(checked, 21);
}

class TunerScreenshot : public AppFixture {};

TEST_F(TunerScreenshot, TunerTabAndEditorPicturesShowTheTunerAsSource) {
    StartSim(3);
    const ScreenshotRequest request{m_home.path() + "/tuner.png", "COM3", "Tuner",
                                    m_home.path() + "/presets.png"};
    EXPECT_EQ(Await(TakeConnectedScreenshot(Window(), request)), QString());
    EXPECT_EQ(Window().CurrentTabTitle(), "Tuner");
    EXPECT_TRUE(Window().GetControlPage()->IsTunerSelected());
    EXPECT_TRUE(Window().GetTunerPage()->EditPresetsButton()->isEnabled());
    EXPECT_FALSE(QImage(request.pngPath).isNull());
    const QImage editor(request.editorPngPath);
    EXPECT_FALSE(editor.isNull());
    EXPECT_GE(editor.width(), 300);
    EXPECT_FALSE(Window().GetTunerPage()->Editor()->isVisible());
}

}  // namespace
