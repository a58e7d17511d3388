#pragma once

#include <QString>

// The per-user profile: an INI file of organisation "Velmar", application
// "Ampdesk". It holds one option, the Com Port choice.
namespace Profile {

inline const QString kPortDefault = QStringLiteral("Auto-Detect");

QString ReadPort();
void WritePort(const QString& port);
QString FilePath();
// The folder `ports` beside the profile file, holding COMn links.
QString PortsFolder();

}  // namespace Profile
