#include "SnapshotsWindow.h"

#include "Prompts.h"
#include "SettingsFile.h"
#include "SettingsStore.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <map>

namespace {

constexpr int kIndexRole = Qt::UserRole;

QString TakenText(const SnapshotStore::Snapshot& snapshot) {
    const QString taken =
        snapshot.taken.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    // Some settings did not answer the read it was taken from.
    return snapshot.partial ? taken + QStringLiteral(" (partial)") : taken;
}

}  // namespace

SnapshotsWindow::SnapshotsWindow(SnapshotStore store, Prompts& prompts, Hooks hooks,
                                 QWidget* parent)
    : QDialog(parent), m_store(std::move(store)), m_prompts(prompts), m_hooks(std::move(hooks)) {
    setWindowTitle(kTitle);
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(
        QStringLiteral("The receiver's settings as read at each connection, newest first:"), this);
    layout->addWidget(heading);
    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({QStringLiteral("Date"), QStringLiteral("Model"),
                             QStringLiteral("Changed since the one before")});
    m_list->setAccessibleName(QStringLiteral("Snapshots"));
    heading->setBuddy(m_list);
    layout->addWidget(m_list, 1);
    auto* buttons = new QHBoxLayout;
    m_compare = new QPushButton(QStringLiteral("&Compare with Receiver..."), this);
    m_saveAs = new QPushButton(QStringLiteral("Save &As..."), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* button : {m_compare, m_saveAs, close}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->insertStretch(2, 1);
    layout->addLayout(buttons);
    connect(m_compare, &QPushButton::clicked, this, &SnapshotsWindow::CompareCurrent);
    connect(m_saveAs, &QPushButton::clicked, this, &SnapshotsWindow::SaveCurrentAs);
    connect(m_list, &QTreeWidget::itemActivated, this, &SnapshotsWindow::CompareCurrent);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    Reload();
    resize(560, 360);
}

void SnapshotsWindow::Reload() {
    m_snapshots = m_store.List();
    m_list->clear();
    // The one before a snapshot is the next older one of the same model.
    std::map<QString, std::size_t> newerOfModel;
    std::vector<QString> changed(m_snapshots.size(), QStringLiteral("first kept"));
    for (std::size_t i = 0; i < m_snapshots.size(); ++i) {
        const auto newer = newerOfModel.find(m_snapshots[i].model);
        if (newer != newerOfModel.end()) {
            const int count =
                CountDifferences(m_snapshots[newer->second].path, m_snapshots[i].path);
            changed[newer->second] = count < 0 ? QStringLiteral("unreadable")
                                               : QStringLiteral("%1 setting(s)").arg(count);
        }
        newerOfModel[m_snapshots[i].model] = i;
    }
    for (std::size_t i = 0; i < m_snapshots.size(); ++i) {
        auto* item = new QTreeWidgetItem(
            m_list, {TakenText(m_snapshots[i]), m_snapshots[i].model, changed[i]});
        item->setData(0, kIndexRole, static_cast<int>(i));
    }
    if (m_snapshots.empty()) {
        new QTreeWidgetItem(m_list, {QStringLiteral("No snapshot yet: one is kept at each "
                                                    "connection.")});
    } else {
        m_list->setCurrentItem(m_list->topLevelItem(0));
    }
    m_list->resizeColumnToContents(0);
    m_compare->setEnabled(!m_snapshots.empty());
    m_saveAs->setEnabled(!m_snapshots.empty());
}

const SnapshotStore::Snapshot* SnapshotsWindow::Current() const {
    const QTreeWidgetItem* item = m_list->currentItem();
    if (item == nullptr || !item->data(0, kIndexRole).isValid())
        return nullptr;
    const auto index = static_cast<std::size_t>(item->data(0, kIndexRole).toInt());
    return index < m_snapshots.size() ? &m_snapshots[index] : nullptr;
}

QString SnapshotsWindow::ShownName(const SnapshotStore::Snapshot& snapshot) const {
    return QStringLiteral("the snapshot of %1 from %2").arg(snapshot.model, TakenText(snapshot));
}

void SnapshotsWindow::CompareCurrent() {
    const SnapshotStore::Snapshot* snapshot = Current();
    if (snapshot != nullptr && m_hooks.compare)
        m_hooks.compare(snapshot->path, ShownName(*snapshot));
}

void SnapshotsWindow::SaveCurrentAs() {
    const SnapshotStore::Snapshot* current = Current();
    if (current == nullptr)
        return;
    const QString from = current->path;
    m_prompts.SaveFileName(this, [this, from](const QString& path) {
        if (path.isEmpty())
            return;
        // Through the settings file's own safe save: a failed copy leaves the
        // target as it was. A snapshot has no description, so the bytes match.
        SettingsStore store;
        const LoadResult loaded = LoadFromFile(store, from);
        if (!loaded.opened || !loaded.recognised) {
            m_prompts.ShowMessage(
                this,
                QStringLiteral("Cannot read the snapshot %1.").arg(QDir::toNativeSeparators(from)));
            return;
        }
        const SaveResult saved = SaveToFile(store, path, loaded.description);
        if (!saved.ok)
            m_prompts.ShowMessage(this, saved.error);
    });
}
