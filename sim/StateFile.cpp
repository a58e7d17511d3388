#include "StateFile.h"

#include "Receiver.h"

#include <QFile>
#include <QSaveFile>

namespace {

constexpr char kFirstLine[] = "<ORVA Settings File>";
constexpr char kLastLine[] = "</ORVA Settings File>";
constexpr char kDescription[] = "Velmar receiver simulator state";
// A state holds some 600 short lines; anything far bigger is not a state file.
constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;
constexpr qsizetype kMaxLineBytes = 1024;

}  // namespace

bool LoadState(const QString& path, Receiver& receiver, QString* error) {
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read state %1: %2").arg(path, file.errorString());
        return false;
    }
    if (file.size() > kMaxFileBytes) {
        *error = QStringLiteral("State %1 is larger than %2 bytes").arg(path).arg(kMaxFileBytes);
        return false;
    }
    QList<QByteArray> lines = file.readAll().split('\n');
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    if (lines.isEmpty() || lines.first() != kFirstLine) {
        *error = QStringLiteral("%1 is not a settings file").arg(path);
        return false;
    }
    for (qsizetype i = 2; i < lines.size() && lines[i] != kLastLine; ++i) {
        const QByteArray& line = lines[i];
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0 || line.size() > kMaxLineBytes)
            continue;
        receiver.Restore(line.left(equals), line.mid(equals + 1));
    }
    receiver.TakeChanged();
    return true;
}

bool SaveState(const QString& path, const ReceiverState& state, QString* error) {
    QByteArray text = QByteArray(kFirstLine) + "\r\n" + kDescription + "\r\n";
    for (const ReceiverState::Entry& entry : state.Entries())
        text += entry.key + '=' + entry.value + "\r\n";
    text += kLastLine;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        *error = QStringLiteral("Cannot save state %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
