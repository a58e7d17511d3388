#pragma once

#include <QString>

// The per-user profile: an INI file of organisation "Velmar", application
// "Ampdesk". It holds the Com Port choice, and the web site the upgrade check
// asks (key UpgradeHost: a host name or address with an optional ":port").
namespace Profile {

inline const QString kPortDefault = QStringLiteral("Auto-Detect");
inline const QString kUpgradeHostDefault = QStringLiteral("www.velmar.com");

QString ReadPort();
void WritePort(const QString& port);
// The default when the key is missing or blank.
QString ReadUpgradeHost();
QString FilePath();
// The folder `ports` beside the profile file, holding COMn links.
QString PortsFolder();

}  // namespace Profile
