#include "StateFile.h"

#include "Receiver.h"
#include "SettingsFile.h"
#include "SettingsStore.h"

#include <QFileInfo>

namespace {

const QByteArray kDescription = QByteArrayLiteral("Velmar receiver simulator state");
// No key or value of the receiver comes near this; longer lines are not ours.
constexpr qsizetype kMaxLineBytes = 1024;

}  // namespace

bool LoadState(const QString& path, Receiver& receiver, QString* error) {
    if (!QFileInfo::exists(path))
        return true;
    SettingsStore store;
    const LoadResult loaded = LoadFromFile(store, path);
    if (!loaded.opened) {
        *error = QStringLiteral("Cannot read state %1").arg(path);
        return false;
    }
    if (loaded.notRegular) {
        *error = QStringLiteral("%1 is not a regular file").arg(path);
        return false;
    }
    if (loaded.tooLarge || !loaded.recognised) {
        *error = QStringLiteral("%1 is not a settings file").arg(path);
        return false;
    }
    for (const QByteArray& line : store.Lines()) {
        QByteArray key;
        QByteArray value;
        if (line.size() <= kMaxLineBytes && SplitLine(line, &key, &value) && !key.isEmpty())
            receiver.Restore(key, value);
    }
    receiver.TakeChanged();
    return true;
}

bool SaveState(const QString& path, const ReceiverState& state, QString* error) {
    SettingsStore store;
    for (const ReceiverState::Entry& entry : state.Entries())
        store.Append(entry.key + '=' + entry.value);
    const SaveResult saved = SaveToFile(store, path, kDescription);
    if (!saved.ok)
        *error = saved.error;
    return saved.ok;
}
