#include "SettingsFile.h"

#include "ByteText.h"
#include "SettingsStore.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

const QByteArray kMagicLine = QByteArrayLiteral("<ORVA Settings File>");
const QByteArray kEndLine = QByteArrayLiteral("</ORVA Settings File>");
const QByteArray kDescriptionOpen = QByteArrayLiteral("<DESCRIPTION>");
const QByteArray kDescriptionClose = QByteArrayLiteral("</DESCRIPTION>");
// Files are exchanged with the Windows program, so CR LF on every platform.
const QByteArray kLineBreak = QByteArrayLiteral("\r\n");

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
           EqualsIgnoringCase(QByteArrayView(line).last(kDescriptionClose.size()),
                              kDescriptionClose);
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
bool WriteFully(QFileDevice& file, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

// The kernel's rule for links in shared folders (fs.protected_symlinks): in a
// sticky, world-writable folder such as /tmp, a link is followed only when the
// follower or the folder's owner owns it. The save resolves links itself, so
// the kernel never gets to apply the rule; it is applied here.
bool MayFollow(const QString& link) {
    struct stat linkInfo {};
    struct stat folderInfo {};
    const QByteArray folder = QFile::encodeName(QFileInfo(link).absolutePath());
    if (::lstat(QFile::encodeName(link).constData(), &linkInfo) != 0 ||
        ::stat(folder.constData(), &folderInfo) != 0)
        return true;  // left to fail when opened
    const bool shared = (folderInfo.st_mode & S_ISVTX) && (folderInfo.st_mode & S_IWOTH);
    return !shared || linkInfo.st_uid == ::geteuid() || linkInfo.st_uid == folderInfo.st_uid;
}

// The file a save writes: a symbolic link is followed to what it points at, so
// the link stays a link. A loop of links is left to fail when opened. Empty,
// with the reason in `error`, when a link may not be followed.
QString SaveTarget(const QString& path, QString* error) {
    constexpr int kMaxLinks = 40;
    QString target = path;
    for (int i = 0; i < kMaxLinks && QFileInfo(target).isSymLink(); ++i) {
        if (!MayFollow(target)) {
            *error = QStringLiteral("%1 is another user's link in a shared folder").arg(target);
            return {};
        }
        target = QFileInfo(target).symLinkTarget();
    }
    return target;
}

// Writing a new file beside the old one and renaming it over is safe against a
// failure half-way, but it makes a new file: only right for a plain file of
// ours in a folder we may write, with no other name linked to it. A device, a
// pipe, a hard-linked file or one owned by someone else is written in place.
bool MayReplaceByRename(const QString& target) {
    struct stat info {};
    if (::lstat(QFile::encodeName(target).constData(), &info) != 0)
        return true;  // a new file
    if (!S_ISREG(info.st_mode) || info.st_nlink != 1 || info.st_uid != ::geteuid())
        return false;
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    return ::access(folder.constData(), W_OK | X_OK) == 0;
}

SaveResult SaveByRename(const QString& path, const QString& target, const QByteArray& bytes) {
    // QSaveFile gives the new file the old one's permissions.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return {false, SaveError(path, file.errorString())};
    }
    if (!WriteFully(file, bytes)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return {false, SaveError(path, reason)};
    }
    if (!file.commit())
        return {false, SaveError(path, file.errorString())};
    return {true, QString()};
}

// The disk space for `size` bytes from the start of a regular file, taken
// before anything of the old content is overwritten or cut: a full disk then
// fails the save with the old file whole. Other kinds of file need none.
int ReserveSpace(int fd, qint64 size) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode) || size == 0)
        return 0;
    int error;
    do {
        error = ::posix_fallocate(fd, 0, size);
    } while (error == EINTR);
    return error;
}

// A pipe or a character device (a terminal, /dev/null) reached through `path`.
// Its links are left to the kernel: /dev/stdout leads to /proc/self/fd/1, whose
// target "pipe:[N]" is no name that could be followed by hand.
bool IsStream(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 &&
           (S_ISFIFO(info.st_mode) || S_ISCHR(info.st_mode));
}

SaveResult SaveInPlace(const QString& path, const QString& target, const QByteArray& bytes,
                       bool followLinks = false) {
    // Opened without waiting, so a pipe nobody reads is an error rather than a
    // frozen window; the writes themselves may wait. Links were resolved
    // before: one put in their place since is not followed. Nothing is cut
    // until the new content is written.
    const int fd =
        ::open(QFile::encodeName(target).constData(),
               O_WRONLY | O_NONBLOCK | O_CLOEXEC | (followLinks ? 0 : O_CREAT | O_NOFOLLOW), 0666);
    if (fd < 0)
        return {false, SaveError(path, qt_error_string(errno))};
    const int flags = ::fcntl(fd, F_GETFL);
    int error = flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 ? errno : 0;
    if (error == 0)
        error = ReserveSpace(fd, bytes.size());
    if (error != 0) {
        ::close(fd);
        return {false, SaveError(path, qt_error_string(error))};
    }
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {false, SaveError(path, file.errorString())};
    }
    if (!WriteFully(file, bytes))
        return {false, SaveError(path, file.errorString())};
    // A regular file is cut to the new length; a device or pipe has none.
    struct stat info {};
    if (::fstat(file.handle(), &info) == 0 && S_ISREG(info.st_mode) &&
        ::ftruncate(file.handle(), bytes.size()) != 0)
        return {false, SaveError(path, qt_error_string(errno))};
    file.close();
    if (file.error() != QFileDevice::NoError)
        return {false, SaveError(path, file.errorString())};
    return {true, QString()};
}

enum class ReadOutcome { Whole, TooLarge, Failed };

// Reads to the end, but never more than `limit` bytes: the size a file reports
// is not what it holds while someone writes to it.
ReadOutcome ReadAtMost(int fd, qint64 limit, QByteArray* bytes) {
    constexpr qint64 kChunk = 64 * 1024;
    for (;;) {
        const qsizetype had = bytes->size();
        bytes->resize(had + kChunk);
        const ssize_t count = ::read(fd, bytes->data() + had, kChunk);
        if (count < 0 && errno == EINTR) {
            bytes->resize(had);
            continue;
        }
        bytes->resize(had + std::max<ssize_t>(count, 0));
        if (count < 0)
            return ReadOutcome::Failed;
        if (bytes->size() > limit)
            return ReadOutcome::TooLarge;
        if (count == 0)
            return ReadOutcome::Whole;
    }
}

}  // namespace

QByteArray SettingsFileBytes(const SettingsStore& store, const QByteArray& description) {
    QByteArray bytes;
    qsizetype size = kMagicLine.size() + kDescriptionOpen.size() + description.size() +
                     kDescriptionClose.size() + kEndLine.size() + 2 * kLineBreak.size();
    for (const QByteArray& line : store.Lines())
        size += line.size() + kLineBreak.size();
    bytes.reserve(size);

    // Appended piece by piece: a sum would make a string of its own per line.
    for (const QByteArray& piece :
         {kMagicLine, kLineBreak, kDescriptionOpen, description, kDescriptionClose, kLineBreak})
        bytes += piece;
    for (const QByteArray& line : store.Lines()) {
        bytes += line;
        bytes += kLineBreak;
    }
    bytes += kEndLine;  // no line break after the end line
    return bytes;
}

SaveResult SaveToFile(const SettingsStore& store, const QString& path,
                      const QByteArray& description) {
    const QByteArray bytes = SettingsFileBytes(store, description);
    QString refused;
    const QString target = SaveTarget(path, &refused);
    if (!refused.isEmpty())
        return {false, SaveError(path, refused)};
    if (IsStream(path))
        return SaveInPlace(path, path, bytes, true);
    if (MayReplaceByRename(target))
        return SaveByRename(path, target, bytes);
    return SaveInPlace(path, target, bytes);
}

LoadResult LoadFromFile(SettingsStore& store, const QString& path) {
    // Opened without waiting, so that a pipe with no writer is refused below
    // rather than holding the caller for ever.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    LoadResult result;
    result.opened = true;
    struct stat info {};
    QByteArray bytes;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result.notRegular = true;
    } else if (info.st_size > kMaxSettingsFileBytes) {
        result.tooLarge = true;
    } else {
        const ReadOutcome read = ReadAtMost(fd, kMaxSettingsFileBytes, &bytes);
        result.opened = read != ReadOutcome::Failed;
        result.tooLarge = read == ReadOutcome::TooLarge;
    }
    ::close(fd);
    if (!result.opened || result.notRegular || result.tooLarge)
        return result;
    result = LoadFromBytes(store, bytes);
    result.opened = true;
    return result;
}

LoadResult LoadFromBytes(SettingsStore& store, const QByteArray& bytes) {
    // Cut here rather than by QIODevice::readLine, which sizes each line's
    // buffer by all the data it holds: kilobytes for a line of twenty bytes.
    qsizetype at = 0;
    const auto nextLine = [&bytes, &at] {
        const qsizetype lineFeed = bytes.indexOf('\n', at);
        const qsizetype end = lineFeed < 0 ? bytes.size() : lineFeed + 1;
        QByteArray line = WithoutLineBreak(bytes.mid(at, end - at));
        at = end;
        return line;
    };

    LoadResult result;
    if (bytes.isEmpty())
        return result;
    if (bytes.count('\n') >= kMaxSettingsFileLines) {
        result.tooLarge = true;
        return result;
    }
    const QByteArray first = nextLine();
    if (!EqualsIgnoringCase(first, kMagicLine))
        return result;
    result.recognised = true;

    store.Clear();
    // A save cut short (a full disk, a crash) leaves a file without its end line.
    result.incomplete = true;
    while (at < bytes.size()) {
        const QByteArray line = nextLine();
        if (IsDescriptionLine(line)) {
            result.description = DescriptionOf(line);
        } else if (line.contains(kEndLine)) {
            // Reading goes on: lines after the end line still belong to the store.
            result.incomplete = false;
            continue;
        } else {
            store.Append(line);
        }
    }
    return result;
}

QString LoadFailureText(const LoadResult& loaded, const QString& shownPath) {
    QString text;
    if (!loaded.opened)
        text = QStringLiteral("Cannot open the settings file %1.");
    else if (loaded.notRegular)
        text = QStringLiteral("%1 is not a regular file.");
    else if (loaded.tooLarge)
        text = QStringLiteral("%1 is too large to be a settings file.");
    else if (!loaded.recognised)
        text = QStringLiteral("%1 is not an Ampdesk settings file.");
    return text.isEmpty() ? text : text.arg(shownPath);
}
