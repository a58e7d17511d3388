#include "SerialAdapters.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <utility>

namespace {

// Kernel names of USB serial devices, in the order Auto-Detect tries them.
const char* const kAdapterPrefixes[] = {"ttyUSB", "ttyACM"};

// prefix0, prefix1, .. prefix10: the number as a number, not as text.
QStringList NumberedNames(const QStringList& names, const QString& prefix) {
    const QRegularExpression pattern(QStringLiteral("^%1([0-9]{1,6})$").arg(prefix));
    QList<std::pair<int, QString>> numbered;
    for (const QString& name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (match.hasMatch())
            numbered.append({match.captured(1).toInt(), name});
    }
    std::sort(numbered.begin(), numbered.end());
    QStringList sorted;
    for (const auto& entry : numbered)
        sorted << entry.second;
    return sorted;
}

}  // namespace

QStringList SerialAdapterPaths(const DeviceFolders& folders) {
    QStringList paths;
    QSet<QString> reached;

    const QDir byId(folders.byId);
    const QStringList stableNames =
        byId.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : stableNames) {
        const QFileInfo link(byId.filePath(name));
        // A link left behind by an adapter that was pulled out leads nowhere.
        if (!link.exists())
            continue;
        paths << link.filePath();
        reached.insert(link.canonicalFilePath());
    }

    const QDir dev(folders.dev);
    const QStringList devNames = dev.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    for (const char* prefix : kAdapterPrefixes) {
        for (const QString& name : NumberedNames(devNames, QString::fromLatin1(prefix))) {
            const QFileInfo device(dev.filePath(name));
            if (!reached.contains(device.canonicalFilePath()))
                paths << device.filePath();
        }
    }
    return paths;
}
