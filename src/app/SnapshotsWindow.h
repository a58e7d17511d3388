#pragma once

#include "SnapshotStore.h"

#include <QDialog>

#include <functional>
#include <vector>

class Prompts;
class QPushButton;
class QTreeWidget;

// "Snapshots": the receiver settings kept at each connection, newest first,
// with how many settings each changed since the one before of its model. One
// opens in the compare window; "Save As..." copies one out as a settings file.
class SnapshotsWindow : public QDialog {
    Q_OBJECT

public:
    static inline const QString kTitle = QStringLiteral("Snapshots");

    struct Hooks {
        // Opens the snapshot at `path` in a compare window named `shownName`.
        std::function<void(const QString& path, const QString& shownName)> compare;
    };

    SnapshotsWindow(SnapshotStore store, Prompts& prompts, Hooks hooks, QWidget* parent);

    // Lists the snapshots again (after a connection kept a new one).
    void Reload();
    QTreeWidget* List() const { return m_list; }
    void CompareCurrent();
    void SaveCurrentAs();

private:
    // The shown snapshot under the cursor; nullptr for none.
    const SnapshotStore::Snapshot* Current() const;
    QString ShownName(const SnapshotStore::Snapshot& snapshot) const;

    SnapshotStore m_store;
    Prompts& m_prompts;
    Hooks m_hooks;
    std::vector<SnapshotStore::Snapshot> m_snapshots;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_compare = nullptr;
    QPushButton* m_saveAs = nullptr;
};
