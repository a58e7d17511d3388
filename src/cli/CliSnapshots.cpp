#include "CliSnapshots.h"

#include "SnapshotStore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <map>

namespace {

constexpr int kFirst = -2;  // no older snapshot of the model to count against

// For each snapshot, how many settings changed since the next older one of
// the same model; kFirst, or -1 when either file cannot be read.
std::vector<int> ChangedCounts(const std::vector<SnapshotStore::Snapshot>& all) {
    std::map<QString, std::size_t> newerOfModel;
    std::vector<int> changed(all.size(), kFirst);
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto newer = newerOfModel.find(all[i].model);
        if (newer != newerOfModel.end())
            changed[newer->second] = CountDifferences(all[newer->second].path, all[i].path);
        newerOfModel[all[i].model] = i;
    }
    return changed;
}

void PrintJson(std::FILE* out, const SnapshotStore& store,
               const std::vector<SnapshotStore::Snapshot>& all, const std::vector<int>& changed) {
    QJsonArray rows;
    for (std::size_t i = 0; i < all.size(); ++i) {
        rows.append(QJsonObject{
            {"number", static_cast<int>(i + 1)},
            {"taken", all[i].taken.toUTC().toString(Qt::ISODate)},
            {"model", all[i].model},
            {"partial", all[i].partial},
            {"changed", changed[i] >= 0 ? QJsonValue(changed[i]) : QJsonValue()},
            {"path", all[i].path},
        });
    }
    const QByteArray bytes =
        QJsonDocument(QJsonObject{{"folder", store.Root()}, {"snapshots", rows}}).toJson();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out);
}

}  // namespace

int ListSnapshots(std::FILE* out, bool json) {
    const SnapshotStore store;
    const std::vector<SnapshotStore::Snapshot> all = store.List();
    const std::vector<int> changed = ChangedCounts(all);
    if (json) {
        PrintJson(out, store, all, changed);
        return kExitOk;
    }
    if (all.empty()) {
        std::fprintf(out, "No snapshots in %s\n",
                     QDir::toNativeSeparators(store.Root()).toUtf8().constData());
        return kExitOk;
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
        const QString count = changed[i] == kFirst ? QStringLiteral("first")
                              : changed[i] < 0     ? QStringLiteral("unreadable")
                                                   : QStringLiteral("%1 changed").arg(changed[i]);
        const QString line =
            QStringLiteral("%1  %2  %3  %4  %5  %6")
                .arg(i + 1, 3)
                .arg(all[i].taken.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                .arg(all[i].model, -6)
                .arg(count, -11)
                .arg(all[i].partial ? QStringLiteral("partial") : QString(), -7)
                .arg(QDir::toNativeSeparators(all[i].path));
        std::fprintf(out, "%s\n", PrintableMessage(line).toUtf8().constData());
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

QString KeepBackupSnapshot(const SettingsStore& store, const QByteArray& model, bool partial) {
    return SnapshotStore().Keep(store, model, QDateTime::currentDateTimeUtc(), partial).warning;
}
