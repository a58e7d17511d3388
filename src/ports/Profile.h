#pragma once

#include <QString>

#include <optional>

// The per-user profile: an INI file of organisation "Velmar", application
// "Ampdesk". It holds the Com Port choice, the web site the upgrade check
// asks (key UpgradeHost: a host name or address with an optional ":port"),
// and how many commands a bulk read or restore keeps on the wire (key
// Link/Pipeline: "off" for one at a time, "on" or a count).
namespace Profile {

inline const QString kPortDefault = QStringLiteral("Auto-Detect");
inline const QString kUpgradeHostDefault = QStringLiteral("www.velmar.com");

QString ReadPort();
void WritePort(const QString& port);
// The default when the key is missing or blank.
QString ReadUpgradeHost();
QString FilePath();
// The commands kept on the wire at once as the profile says (1 for "off"; the
// session bounds a large count), or nothing for the program's default ("on",
// missing or not understood).
std::optional<int> ReadPipelineDepth();
// The folder `ports` beside the profile file, holding COMn links.
QString PortsFolder();

}  // namespace Profile
