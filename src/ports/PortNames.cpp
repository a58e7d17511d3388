#include "PortNames.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

QString LinkPath(int number, const QString& portsFolder) {
    return QDir(portsFolder).filePath(QStringLiteral("COM%1").arg(number));
}

QString OnBoardPath(int number) {
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
}

}  // namespace

QStringList ComPortNames() {
    QStringList names;
    for (int n = 1; n <= kComPortCount; ++n)
        names << QStringLiteral("COM%1").arg(n);
    return names;
}

int ComPortNumber(const QString& portName) {
    const QStringList names = ComPortNames();
    for (int i = 0; i < names.size(); ++i) {
        if (portName.compare(names[i], Qt::CaseInsensitive) == 0)
            return i + 1;
    }
    return 0;
}

QString ResolvePortPath(const QString& portName, const QString& portsFolder) {
    const int number = ComPortNumber(portName);
    if (number == 0)
        return portName;
    // A link that points nowhere is still the user's choice: opening it fails
    // with a clear error rather than silently reaching an on-board port.
    const QString link = LinkPath(number, portsFolder);
    const QFileInfo info(link);
    if (info.isSymLink() || info.exists())
        return link;
    return OnBoardPath(number);
}

QString ExplainPortLookup(const QString& portName, const QString& portsFolder) {
    const int number = ComPortNumber(portName);
    if (number == 0)
        return {};
    const QString com = QStringLiteral("COM%1").arg(number);
    const QString link = LinkPath(number, portsFolder);
    const QFileInfo info(link);
    if (info.isSymLink())
        return QStringLiteral("%1 is the link %2 to %3").arg(com, link, info.symLinkTarget());
    if (info.exists())
        return QStringLiteral("%1 is %2").arg(com, link);
    return QStringLiteral("%1 was looked for as the link %2, then as %3")
        .arg(com, link, OnBoardPath(number));
}

QStringList AutoDetectPortNames(const QString& portsFolder, const DeviceFolders& folders) {
    QStringList names = ComPortNames();
    // An adapter already linked as COMn was tried under that name.
    QSet<QString> tried;
    for (const QString& name : names) {
        const QFileInfo device(ResolvePortPath(name, portsFolder));
        if (device.exists())
            tried.insert(device.canonicalFilePath());
    }
    for (const QString& adapter : SerialAdapterPaths(folders)) {
        if (AutoDetectProbes(adapter) && !tried.contains(QFileInfo(adapter).canonicalFilePath()))
            names << adapter;
    }
    return names;
}
