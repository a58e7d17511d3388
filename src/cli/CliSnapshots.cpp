#include "CliSnapshots.h"

#include "SnapshotStore.h"

#include <QDir>
#include <QFile>

#include <map>

int ListSnapshots(std::FILE* out) {
    const SnapshotStore store;
    const std::vector<SnapshotStore::Snapshot> all = store.List();
    if (all.empty()) {
        std::fprintf(out, "No snapshots in %s\n",
                     QDir::toNativeSeparators(store.Root()).toLocal8Bit().constData());
        return kExitOk;
    }
    // The one before a snapshot is the next older one of the same model.
    std::map<QString, std::size_t> newerOfModel;
    std::vector<QString> changed(all.size(), QStringLiteral("first"));
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto newer = newerOfModel.find(all[i].model);
        if (newer != newerOfModel.end()) {
            const int count = CountDifferences(all[newer->second].path, all[i].path);
            changed[newer->second] =
                count < 0 ? QStringLiteral("unreadable") : QStringLiteral("%1 changed").arg(count);
        }
        newerOfModel[all[i].model] = i;
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
        const QString line =
            QStringLiteral("%1  %2  %3  %4  %5")
                .arg(i + 1, 3)
                .arg(all[i].taken.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                .arg(all[i].model, -6)
                .arg(changed[i], -11)
                .arg(QDir::toNativeSeparators(all[i].path));
        std::fprintf(out, "%s\n", PrintableMessage(line).toLocal8Bit().constData());
    }
    return kExitOk;
}

QString ResolveSnapshotOperand(CliOptions& options) {
    const bool takesFile =
        options.command == CliCommand::Diff || options.command == CliCommand::Restore;
    if (!takesFile || options.operands.isEmpty() ||
        !SnapshotStore::IsNumber(options.operands.first()))
        return {};
    const int number = options.operands.first().toInt();
    const QString path = SnapshotStore().PathOfNumber(number);
    if (path.isEmpty()) {
        return QStringLiteral(
                   "there is no snapshot %1 (\"ampdesk-cli snapshots\" lists them; "
                   "write ./%1 for a file of that name)")
            .arg(number);
    }
    options.operands.first() = QFile::encodeName(path);
    return {};
}

QString KeepBackupSnapshot(const SettingsStore& store, const QByteArray& model) {
    return SnapshotStore().Keep(store, model).warning;
}
