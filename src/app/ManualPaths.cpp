#include "ManualPaths.h"

#include <QDir>
#include <QFileInfo>

namespace {

// Relative to the program's folder.
const char* const kManualFolders[] = {
    "../share/doc/ampdesk/manual",
    "../share/ampdesk/manual",
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
