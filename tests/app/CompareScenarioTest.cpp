#include "AppFixture.h"
#include "Await.h"

#include "CompareCommands.h"
#include "CompareWindow.h"
#include "PresetRecord.h"
#include "SettingsFile.h"
#include "SnapshotsWindow.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

class CompareScenario : public AppFixture {
protected:
    // The receiver's answer to a command the window's session sends.
    static QByteArray Said(MainDialog& w, CommandChannel::Kind kind, const QByteArray& body) {
        return Await(w.Session().Ask(kind, body)).Text();
    }
    // The accessible cell of the compare list whose name starts with `spoken`.
    static QAccessibleInterface* CellNamed(CompareWindow* window, const QString& spoken) {
        QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(window->Tree());
        for (int i = 0; tree != nullptr && i < tree->childCount(); ++i) {
            QAccessibleInterface* cell = tree->child(i);
            if (cell != nullptr && cell->text(QAccessible::Name).startsWith(spoken))
                return cell;
        }
        return nullptr;
    }
    static QTreeWidgetItem* ItemOf(CompareWindow* window, const QByteArray& key) {
        for (QTreeWidgetItem* item :
             window->Tree()->findItems({}, Qt::MatchContains | Qt::MatchRecursive)) {
            if (item->toolTip(0) == QString::fromLatin1(key))
                return item;
        }
        return nullptr;
    }
};

TEST_F(CompareScenario, SnapshotComparedAndTwoOfThreeReceiverChangesRestored) {
    ConnectToSim(3);
    MainDialog& w = Window();
    // The connection's read was kept, as Save Settings writes it.
    ASSERT_EQ(SnapshotStore().List().size(), 1u);
    QFile kept(SnapshotStore().List().front().path);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), SettingsFileBytes(w.Store(), {}));

    // Three settings change on the receiver's side.
    const QByteArray keys[] = {"Main.Bass", "Main.Treble", "Main.Speaker.Center.Config"};
    QByteArray before[3];
    for (int i = 0; i < 3; ++i) {
        before[i] = w.Store().GetValue(keys[i]);
        const QByteArray other =
            i == 2 ? (before[i] == "Large" ? "Small" : "Large") : (before[i] == "6" ? "-6" : "6");
        ASSERT_EQ(Said(w, CommandChannel::Kind::Set, keys[i] + '=' + other), keys[i] + '=' + other);
    }

    w.ShowSnapshots();
    ASSERT_NE(w.Compare().Snapshots(), nullptr);
    // "Save As..." copies the snapshot out byte for byte.
    m_prompts.savePath = m_home.filePath("copy.kvx");
    w.Compare().Snapshots()->SaveCurrentAs();
    QFile copy(m_prompts.savePath);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly) && kept.seek(0));
    EXPECT_EQ(copy.readAll(), kept.readAll());
    w.Compare().Snapshots()->CompareCurrent();
    auto* compare = w.findChild<CompareWindow*>();
    ASSERT_NE(compare, nullptr);
    EXPECT_EQ(compare->windowModality(), Qt::NonModal);
    ASSERT_EQ(compare->Model().RowCount(), 3);
    EXPECT_FALSE(compare->RestoreButton()->isEnabled()) << "nothing checked yet";

    // Each row named as its page names the control; the Bass row as a screen
    // reader hears it, checked from the keyboard.
    QStringList labels;
    for (const CompareRow& row : compare->Model().Rows())
        labels << row.label;
    EXPECT_EQ(labels, (QStringList{"Center size", "Bass", "Treble"}));
    const QString bass =
        QStringLiteral("Control, Bass: file %1 dB, receiver").arg(QString::fromLatin1(before[0]));
    QAccessibleInterface* cell = CellNamed(compare, bass);
    ASSERT_NE(cell, nullptr) << qPrintable(bass);
    EXPECT_TRUE(cell->state().checkable);
    compare->Tree()->setFocus();
    compare->Tree()->setCurrentItem(ItemOf(compare, keys[0]));
    QTest::keyClick(compare->Tree(), Qt::Key_Space);
    EXPECT_TRUE(CellNamed(compare, bass)->state().checked);
    ItemOf(compare, keys[1])->setCheckState(0, Qt::Checked);
    EXPECT_EQ(compare->CountLabel()->text(), "2 of 3 selected");

    const qsizetype mark = CommandMark();
    compare->RestoreButton()->click();
    ASSERT_TRUE(WaitUntilFree());
    EXPECT_EQ(CommandsSince(mark),
              (QByteArrayList{keys[0] + '=' + before[0], keys[1] + '=' + before[1]}));
    EXPECT_NE(Said(w, CommandChannel::Kind::Query, keys[2] + '?'), keys[2] + '=' + before[2]);
    EXPECT_EQ(ControlCombo(ControlId::Bass)->currentData().toByteArray(), before[0]);
    EXPECT_EQ(compare->Model().RowCount(), 1) << "the third still differs";
}

TEST_F(CompareScenario, WithoutReceiverAFileListsOnlyItsDifferencesAndABlockedFolderOnlyWarns) {
    MainDialog& w = Window();
    // A few lines: the window's defaults hold every other key, which is no difference.
    SettingsStore file;
    const QByteArray station =
        "Tuner.Preset2=" + PresetRecord::Compose("FM", "101.20 MHz", true, "Long Station", 10);
    for (const QByteArray& line :
         {QByteArray("Main.Bass=8"), QByteArray("Main.Treble=0"), QByteArray("Main.CenterDialog=2"),
          QByteArray("Preset1.Speaker.Front=Large100"), station})
        file.Append(line);
    ASSERT_TRUE(SaveToFile(file, m_home.filePath("bass.kvx"), {}).ok);
    m_prompts.openPaths = {m_home.filePath("bass.kvx")};
    w.CompareWithReceiver();
    auto* compare = w.findChild<CompareWindow*>();
    ASSERT_NE(compare, nullptr);
    QStringList labels;
    for (const CompareRow& row : compare->Model().Rows())
        labels << row.page + ": " + row.label;
    EXPECT_EQ(labels, (QStringList{"Speaker: Front size / Front crossover frequency (A/V Preset 1)",
                                   "Control: Bass", "Control: Dialog", "Tuner: Preset 2"}));
    // A value too wide is cut in the middle; its tooltip and spoken text keep it whole.
    const CompareRow& tuned = compare->Model().Rows().back();
    QTreeWidgetItem* item = ItemOf(compare, "Tuner.Preset2");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(compare->Tree()->textElideMode(), Qt::ElideMiddle);
    EXPECT_EQ(item->toolTip(1), tuned.fileText);
    EXPECT_NE(CellNamed(compare, tuned.Spoken()), nullptr) << qPrintable(tuned.Spoken());
    // Every bound control has its page's name.
    const ControlLabels pageLabels = LabelsOfPages(w.Binding());
    for (const BindingRow& row : kBindingTable)
        EXPECT_FALSE(pageLabels(row).isEmpty()) << row.section << '.' << row.parameter;
    compare->SelectAll();
    EXPECT_EQ(compare->Model().CheckedLines(),
              (std::vector<QByteArray>{"Preset1.Speaker.Front=Large100", "Main.Bass=8",
                                       "Main.CenterDialog=2", station}));
    EXPECT_FALSE(compare->RestoreButton()->isEnabled()) << "not connected";
    const auto noteShown = [compare] {
        for (const QLabel* label : compare->findChildren<QLabel*>()) {
            if (label->text() == CompareWindow::kNotConnectedNote)
                return !label->isHidden();
        }
        return false;
    };
    EXPECT_TRUE(noteShown());

    // A file where the model's snapshot folder belongs.
    const QString folder = SnapshotStore().Root();
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile blocker(folder + "/ZA11");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ConnectToSim(3);
    EXPECT_TRUE(w.StatusReason().startsWith("No snapshot kept")) << qPrintable(w.StatusReason());
    EXPECT_TRUE(compare->RestoreButton()->isEnabled());
    EXPECT_FALSE(noteShown());
}

}  // namespace
