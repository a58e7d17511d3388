#include "SnapshotStore.h"

#include "SettingsFile.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace {

const QDateTime kMonday(QDate(2026, 12, 7), QTime(22, 23, 22), QTimeZone::utc());

SettingsStore StoreWithVolume(int volume) {
    SettingsStore store;
    store.ResetToDefaults();
    store.SetValue("Main.Volume", QByteArray::number(volume));
    return store;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(SnapshotStore, KeepsSaveSettingsBytesOnceAndTheNewestFifty) {
    QTemporaryDir root;
    const SnapshotStore store(root.path());
    const SnapshotStore::KeepResult first = store.Keep(StoreWithVolume(-20), "ZA11", kMonday);
    ASSERT_TRUE(first.kept) << qPrintable(first.warning);
    EXPECT_EQ(first.path, root.path() + "/ZA11/2026-12-07T22-23-22Z.kvx");
    EXPECT_EQ(ReadAll(first.path), SettingsFileBytes(StoreWithVolume(-20), {}));

    // The same settings again: nothing new. New ones in the same second: "-2".
    EXPECT_FALSE(store.Keep(StoreWithVolume(-20), "ZA11", kMonday.addSecs(60)).kept);
    EXPECT_TRUE(store.Keep(StoreWithVolume(-21), "ZA11", kMonday).path.endsWith("Z-2.kvx"));
    for (int i = 0; i < SnapshotStore::kMaxPerModel; ++i)
        store.Keep(StoreWithVolume(i), "ZA11", kMonday.addDays(1).addSecs(i));
    store.Keep(StoreWithVolume(-20), "ZA 08/x", kMonday.addDays(3));

    const std::vector<SnapshotStore::Snapshot> all = store.List();
    ASSERT_EQ(all.size(), static_cast<std::size_t>(SnapshotStore::kMaxPerModel + 1));
    EXPECT_EQ(all.front().model, "ZA_08_x");
    EXPECT_EQ(store.PathOfNumber(2), all[1].path);
    EXPECT_EQ(store.ListModel("ZA11").back().taken, kMonday.addDays(1));
    EXPECT_FALSE(QFile::exists(first.path)) << "older than the newest fifty";
    EXPECT_EQ(CountDifferences(all[1].path, all[2].path), 1);
    EXPECT_TRUE(SnapshotStore::IsNumber("12"));
    EXPECT_FALSE(SnapshotStore::IsNumber("./12"));
}

TEST(SnapshotStore, ForeignFilesAreLeftAloneAndSaid) {
    QTemporaryDir root;
    const SnapshotStore store(root.path());
    const QString kept = store.Keep(StoreWithVolume(1), "ZA11", kMonday).path;
    QFile notes(root.path() + "/ZA11/notes.txt");
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("mine");
    notes.close();
    const SnapshotStore::KeepResult next =
        store.Keep(StoreWithVolume(2), "ZA11", kMonday.addSecs(9));
    EXPECT_TRUE(next.kept);
    EXPECT_TRUE(next.warning.contains("notes.txt")) << qPrintable(next.warning);
    EXPECT_EQ(store.ForeignFiles(), QStringList{notes.fileName()});
    EXPECT_EQ(ReadAll(notes.fileName()), "mine");

    // A file where a model's folder belongs: nothing kept, nothing touched.
    QFile blocker(root.path() + "/ZA05");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const SnapshotStore::KeepResult blocked = store.Keep(StoreWithVolume(3), "ZA05", kMonday);
    EXPECT_FALSE(blocked.kept);
    EXPECT_TRUE(blocked.warning.startsWith("No snapshot kept")) << qPrintable(blocked.warning);
    EXPECT_EQ(store.List().size(), 2u);
    EXPECT_EQ(ReadAll(kept), SettingsFileBytes(StoreWithVolume(1), {}));
}

}  // namespace
