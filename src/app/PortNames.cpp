#include "PortNames.h"

#include <QDir>
#include <QFileInfo>

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
    const QString link = QDir(portsFolder).filePath(QStringLiteral("COM%1").arg(number));
    const QFileInfo info(link);
    if (info.isSymLink() || info.exists())
        return link;
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
}
