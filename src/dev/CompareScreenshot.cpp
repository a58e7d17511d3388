#include "CompareScreenshot.h"

#include "CompareCommands.h"
#include "CompareWindow.h"
#include "Completion.h"
#include "Delay.h"
#include "MainDialog.h"

#include <QPixmap>
#include <QTreeWidget>

namespace {

// What changes on the receiver's side, as the front panel would change it.
const char* const kChanges[] = {"Main.Bass=6", "Main.Treble=-4",
                                "Main.Speaker.Center.Config=Large"};
constexpr int kTicked = 2;
constexpr int kLayoutMs = 50;

}  // namespace

QCoro::Task<QString> TakeComparePicture(MainDialog& dialog, QString pngPath) {
    const std::vector<SnapshotStore::Snapshot> snapshots = SnapshotStore().List();
    if (snapshots.empty())
        co_return QStringLiteral("the connection kept no snapshot");
    for (const char* change : kChanges)
        co_await dialog.Session().Ask(CommandChannel::Kind::Set, QByteArray(change));
    if (!dialog.Compare().OpenCompare(snapshots.front().path,
                                      QStringLiteral("the snapshot taken on connecting")))
        co_return QStringLiteral("the snapshot would not open");
    auto* window = dialog.findChild<CompareWindow*>();
    QTreeWidget* tree = window->Tree();
    int ticked = 0;
    for (int page = 0; page < tree->topLevelItemCount(); ++page) {
        QTreeWidgetItem* top = tree->topLevelItem(page);
        for (int row = 0; row < top->childCount() && ticked < kTicked; ++row, ++ticked)
            top->child(row)->setCheckState(0, Qt::Checked);
    }
    window->resize(560, 260);
    co_await Delay(&dialog, kLayoutMs);
    const QPixmap picture = window->grab();
    if (picture.isNull() || !picture.save(pngPath, "PNG"))
        co_return QStringLiteral("could not write %1").arg(pngPath);
    co_return QString();
}
