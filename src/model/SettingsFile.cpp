#include "SettingsFile.h"

#include "ByteText.h"
#include "SettingsStore.h"

#include <QFile>
#include <QSaveFile>

namespace {

const QByteArray kMagicLine = QByteArrayLiteral("<ORVA Settings File>");
const QByteArray kEndLine = QByteArrayLiteral("</ORVA Settings File>");
const QByteArray kDescriptionOpen = QByteArrayLiteral("<DESCRIPTION>");
const QByteArray kDescriptionClose = QByteArrayLiteral("</DESCRIPTION>");
// Files are exchanged with the Windows program, so CR LF on every platform.
const QByteArray kLineBreak = QByteArrayLiteral("\r\n");

QByteArray FileBytes(const SettingsStore& store, const QByteArray& description) {
    QByteArray bytes;
    qsizetype size = kMagicLine.size() + kDescriptionOpen.size() + description.size() +
                     kDescriptionClose.size() + kEndLine.size() + 2 * kLineBreak.size();
    for (const QByteArray& line : store.Lines())
        size += line.size() + kLineBreak.size();
    bytes.reserve(size);

    bytes += kMagicLine + kLineBreak;
    bytes += kDescriptionOpen + description + kDescriptionClose + kLineBreak;
    for (const QByteArray& line : store.Lines())
        bytes += line + kLineBreak;
    bytes += kEndLine;  // no line break after the end line
    return bytes;
}

QString SaveError(const QString& path, const QString& reason) {
    return QStringLiteral("Could not save the settings to \"%1\": %2").arg(path, reason);
}

// Both LF and CR LF end a line; the break is not part of it.
QByteArray WithoutLineBreak(QByteArray line) {
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool IsDescriptionLine(const QByteArray& line) {
    return line.size() >= kDescriptionClose.size() &&
           StartsWithIgnoringCase(line, kDescriptionOpen) &&
           EqualsIgnoringCase(line.right(kDescriptionClose.size()), kDescriptionClose);
}

// Every "/" goes, then the opening tag in capitals; tags in small letters lose
// only their "/" and otherwise stay in the text.
QByteArray DescriptionOf(QByteArray line) {
    line.replace('/', QByteArray());
    line.replace(kDescriptionOpen, QByteArray());
    return line;
}

// Qt reports a short write (file size limit, disk nearly full) as success, so
// the file is written unbuffered and every byte accounted for; the rest of a
// short write is retried until the system says why it cannot go on.
bool WriteFully(QSaveFile& file, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

}  // namespace

SaveResult SaveToFile(const SettingsStore& store, const QString& path,
                      const QByteArray& description) {
    // The old file is replaced only once the new one is complete on disk, so a
    // failure half-way cannot leave it truncated.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return {false, SaveError(path, file.errorString())};
    }
    if (!WriteFully(file, FileBytes(store, description))) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {false, SaveError(path, reason)};
    }
    if (!file.commit())
        return {false, SaveError(path, file.errorString())};
    return {true, QString()};
}

LoadResult LoadFromFile(SettingsStore& store, const QString& path) {
    LoadResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    result.opened = true;
    if (file.size() > kMaxSettingsFileBytes) {
        result.tooLarge = true;
        return result;
    }

    if (file.atEnd())
        return result;
    const QByteArray first = WithoutLineBreak(file.readLine());
    if (!EqualsIgnoringCase(first, kMagicLine))
        return result;
    result.recognised = true;

    store.Clear();
    while (!file.atEnd()) {
        const QByteArray line = WithoutLineBreak(file.readLine());
        if (IsDescriptionLine(line)) {
            result.description = DescriptionOf(line);
        } else if (line.contains(kEndLine)) {
            // Reading goes on: lines after the end line still belong to the store.
            continue;
        } else {
            store.Append(line);
        }
    }
    return result;
}
