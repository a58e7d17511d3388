#include "AppFixture.h"
#include "Await.h"

#include "CompareCommands.h"
#include "CompareWindow.h"
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
        ASSERT_EQ(Reply(w.Channel(), CommandChannel::Kind::Set, keys[i] + '=' + other),
                  keys[i] + '=' + other);
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

    // The Bass row as a screen reader hears it, checked from the keyboard.
    const std::vector<CompareRow>& rows = compare->Model().Rows();
    const auto bassRow = std::find_if(rows.begin(), rows.end(),
                                      [&](const CompareRow& row) { return row.key == keys[0]; });
    ASSERT_NE(bassRow, rows.end());
    const QString bass = QStringLiteral("Control, %1: file %2 dB, receiver")
                             .arg(bassRow->label, QString::fromLatin1(before[0]));
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
    EXPECT_NE(QueryReply(w.Channel(), keys[2]), keys[2] + '=' + before[2]);
    EXPECT_EQ(ControlCombo(ControlId::Bass)->currentData().toByteArray(), before[0]);
    EXPECT_EQ(compare->Model().RowCount(), 1) << "the third still differs";
}

TEST_F(CompareScenario, WithoutReceiverSaysSoAndABlockedFolderOnlyWarns) {
    MainDialog& w = Window();
    SettingsStore file;
    file.ResetToDefaults();
    file.SetValue("Main.Bass", "8");
    ASSERT_TRUE(SaveToFile(file, m_home.filePath("bass.kvx"), {}).ok);
    m_prompts.openPaths = {m_home.filePath("bass.kvx")};
    w.CompareWithReceiver();
    auto* compare = w.findChild<CompareWindow*>();
    ASSERT_NE(compare, nullptr);
    compare->SelectAll();
    EXPECT_EQ(compare->Model().CheckedLines(), std::vector<QByteArray>{"Main.Bass=8"});
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
