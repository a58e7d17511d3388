#include "SerialAdapters.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <utility>

namespace {

// Kernel names of USB serial devices, in the order they are listed. A ttyACM
// device is a modem, a microcontroller board or a 3D printer as often as a
// receiver's adapter: opening one can reset it (DTR drops when the port
// closes) or feed a line into a running job, so Auto-Detect leaves it alone.
struct AdapterKind {
    const char* prefix;
    bool probed;  // tried by Auto-Detect
};
const AdapterKind kAdapterKinds[] = {
    {"ttyUSB", true},
    {"ttyACM", false},
};

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
    for (const AdapterKind& kind : kAdapterKinds) {
        for (const QString& name : NumberedNames(devNames, QString::fromLatin1(kind.prefix))) {
            const QFileInfo device(dev.filePath(name));
            if (!reached.contains(device.canonicalFilePath()))
                paths << device.filePath();
        }
    }
    return paths;
}

bool AutoDetectProbes(const QString& adapterPath) {
    // A by-id link is judged by the kernel name it leads to, link by link
    // (udev's lead straight to the device; a few hops allow for links of links).
    constexpr int kMaxHops = 8;
    QString path = adapterPath;
    for (int hop = 0; hop < kMaxHops; ++hop) {
        const QFileInfo step(path);
        for (const AdapterKind& kind : kAdapterKinds) {
            if (!NumberedNames({step.fileName()}, QString::fromLatin1(kind.prefix)).isEmpty())
                return kind.probed;
        }
        if (!step.isSymLink())
            return false;
        path = step.symLinkTarget();
    }
    return false;
}
