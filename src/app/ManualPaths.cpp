#include "ManualPaths.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Relative to the program's folder. share/ampdesk is where the build tree and
// an installation keep it (Debian Policy 12.3: a program must not need what
// lies under share/doc); share/doc/ampdesk is where an installation made
// before kept it.
const char* const kManualFolders[] = {
    "../share/ampdesk/manual",
    "../share/doc/ampdesk/manual",
};

}  // namespace

namespace ManualPaths {

QStringList Candidates(const QString& executableDir) {
    QStringList paths;
    const QDir dir(executableDir);
    for (const char* folder : kManualFolders) {
        paths << QDir::cleanPath(dir.absoluteFilePath(QString::fromLatin1(folder)) +
                                 QLatin1Char('/') + kIndex);
    }
    return paths;
}

QString Find(const QStringList& candidates) {
    for (const QString& path : candidates) {
        const QFileInfo info(path);
        if (info.isFile() && info.isReadable())
            return path;
    }
    return {};
}

}  // namespace ManualPaths
