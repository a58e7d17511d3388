#include "SnapshotStore.h"

#include "SettingsDiff.h"
#include "SettingsFile.h"
#include "SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimeZone>

#include <algorithm>

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-ddTHH-mm-ss");
const QString kSuffix = QStringLiteral(".kvx");

// "2026-12-07T22-23-22Z.kvx", a second one in the same second "...Z-2.kvx",
// a partial one "...Z-partial.kvx".
const QString kPartial = QStringLiteral("-partial");
const QRegularExpression kSnapshotName(QStringLiteral(
    "^(\\d{4}-\\d\\d-\\d\\dT\\d\\d-\\d\\d-\\d\\d)Z(?:-(\\d{1,4}))?(-partial)?\\.kvx$"));

QString DefaultRoot() {
    // GenericDataLocation is $XDG_DATA_HOME, else ~/.local/share.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Velmar/Ampdesk/snapshots");
}

QString FileName(const QDateTime& taken, int sequence, bool partial) {
    QString name = taken.toUTC().toString(kTimeFormat) + QLatin1Char('Z');
    if (sequence > 1)
        name += QStringLiteral("-%1").arg(sequence);
    if (partial)
        name += kPartial;
    return name + kSuffix;
}

bool NewerFirst(const SnapshotStore::Snapshot& a, const SnapshotStore::Snapshot& b) {
    if (a.taken != b.taken)
        return a.taken > b.taken;
    if (a.sequence != b.sequence)
        return a.sequence > b.sequence;
    return a.model < b.model;
}

QByteArray ReadSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxSettingsFileBytes)
        return {};
    return file.read(kMaxSettingsFileBytes);
}

}  // namespace

SnapshotStore::SnapshotStore(QString root)
    : m_root(root.isEmpty() ? DefaultRoot() : std::move(root)) {}

QString SnapshotStore::ModelFolder(const QByteArray& model) const {
    QString name;
    for (char c : model.trimmed()) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        name += plain ? QLatin1Char(c) : QLatin1Char('_');
    }
    if (name.isEmpty())
        name = QStringLiteral("unknown");
    return m_root + QLatin1Char('/') + name.left(64);
}

std::vector<SnapshotStore::Snapshot> SnapshotStore::InFolder(const QString& folder,
                                                             const QString& model,
                                                             QStringList* foreign) const {
    std::vector<Snapshot> snapshots;
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        const QRegularExpressionMatch match = kSnapshotName.match(entry.fileName());
        QDateTime taken;
        if (match.hasMatch()) {
            taken = QDateTime::fromString(match.captured(1), kTimeFormat);
            taken.setTimeZone(QTimeZone::utc());
        }
        if (!match.hasMatch() || !taken.isValid() || !entry.isFile() || entry.isSymLink()) {
            if (foreign != nullptr)
                foreign->append(entry.filePath());
            continue;
        }
        const int sequence = match.captured(2).isEmpty() ? 1 : match.captured(2).toInt();
        snapshots.push_back({entry.filePath(), model, taken, sequence, match.hasCaptured(3)});
    }
    std::sort(snapshots.begin(), snapshots.end(), NewerFirst);
    return snapshots;
}

std::vector<SnapshotStore::Snapshot> SnapshotStore::ListModel(const QString& model) const {
    return InFolder(m_root + QLatin1Char('/') + model, model, nullptr);
}

std::vector<SnapshotStore::Snapshot> SnapshotStore::List() const {
    std::vector<Snapshot> all;
    const QStringList models =
        QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& model : models) {
        std::vector<Snapshot> some = ListModel(model);
        all.insert(all.end(), some.begin(), some.end());
    }
    std::sort(all.begin(), all.end(), NewerFirst);
    return all;
}

QStringList SnapshotStore::ForeignFiles() const {
    QStringList foreign;
    const QFileInfoList entries =
        QDir(m_root).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && !entry.isSymLink())
            InFolder(entry.filePath(), entry.fileName(), &foreign);
        else
            foreign.append(entry.filePath());
    }
    return foreign;
}

SnapshotStore::KeepResult SnapshotStore::Keep(const SettingsStore& store, const QByteArray& model,
                                              const QDateTime& now, bool partial) const {
    KeepResult result;
    const QString folder = ModelFolder(model);
    const QFileInfo folderInfo(folder);
    if (folderInfo.exists() && (!folderInfo.isDir() || folderInfo.isSymLink())) {
        result.warning = QStringLiteral("No snapshot kept: %1 is not a folder")
                             .arg(QDir::toNativeSeparators(folder));
        return result;
    }
    if (!QDir().mkpath(folder)) {
        result.warning = QStringLiteral("No snapshot kept: cannot make the folder %1")
                             .arg(QDir::toNativeSeparators(folder));
        return result;
    }
    QStringList foreign;
    std::vector<Snapshot> kept = InFolder(folder, folderInfo.fileName(), &foreign);
    if (!kept.empty() && ReadSmallFile(kept.front().path) == SettingsFileBytes(store, {})) {
        result.path = kept.front().path;
    } else {
        // The same second twice (two quick reads) gets the next sequence number.
        int sequence = 1;
        const QDateTime taken = now.toUTC();
        const auto inUse = [&](int n) {
            return QFileInfo::exists(folder + QLatin1Char('/') + FileName(taken, n, false)) ||
                   QFileInfo::exists(folder + QLatin1Char('/') + FileName(taken, n, true));
        };
        while (inUse(sequence))
            ++sequence;
        result.path = folder + QLatin1Char('/') + FileName(taken, sequence, partial);
        // A new file: SaveToFile writes it beside and renames it, so a full disk
        // leaves no half snapshot and touches none already kept.
        const SaveResult saved = SaveToFile(store, result.path, {});
        if (!saved.ok) {
            QFile::remove(result.path);
            result.path.clear();
            result.warning = QStringLiteral("No snapshot kept: %1").arg(saved.error);
            return result;
        }
        result.kept = true;
        kept = InFolder(folder, folderInfo.fileName(), nullptr);
    }
    for (std::size_t i = kMaxPerModel; i < kept.size(); ++i)
        QFile::remove(kept[i].path);
    if (!foreign.isEmpty()) {
        result.warning = QStringLiteral("%1 holds %2 file(s) that are no snapshots, left alone: %3")
                             .arg(QDir::toNativeSeparators(folder))
                             .arg(foreign.size())
                             .arg(QFileInfo(foreign.first()).fileName());
    }
    return result;
}

bool SnapshotStore::IsNumber(const QByteArray& operand) {
    if (operand.isEmpty() || operand.size() > 6)
        return false;
    return std::all_of(operand.begin(), operand.end(), [](char c) { return c >= '0' && c <= '9'; });
}

QString SnapshotStore::PathOfNumber(int number) const {
    const std::vector<Snapshot> all = List();
    if (number < 1 || number > static_cast<int>(all.size()))
        return {};
    return all[static_cast<std::size_t>(number - 1)].path;
}

int CountDifferences(const QString& path, const QString& earlierPath) {
    SettingsStore later;
    SettingsStore earlier;
    const LoadResult a = LoadFromFile(later, path);
    const LoadResult b = LoadFromFile(earlier, earlierPath);
    if (!a.opened || !a.recognised || !b.opened || !b.recognised)
        return -1;
    return static_cast<int>(DiffSettings(later, earlier).size());
}
