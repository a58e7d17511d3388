#include "Profile.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString kSection = QStringLiteral("Settings");
const QString kPortKey = QStringLiteral("Port");
const QString kUpgradeHostKey = QStringLiteral("UpgradeHost");
const QString kPipelineKey = QStringLiteral("Link/Pipeline");

QSettings OpenProfile() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velmar"),
                     QStringLiteral("Ampdesk"));
}

QString PortKeyPath() {
    return kSection + QLatin1Char('/') + kPortKey;
}

}  // namespace

namespace Profile {

QString ReadPort() {
    const QSettings settings = OpenProfile();
    return settings.value(PortKeyPath(), kPortDefault).toString();
}

void WritePort(const QString& port) {
    QSettings settings = OpenProfile();
    settings.setValue(PortKeyPath(), port);
    settings.sync();
}

QString ReadUpgradeHost() {
    const QSettings settings = OpenProfile();
    const QString host =
        settings.value(kSection + QLatin1Char('/') + kUpgradeHostKey).toString().trimmed();
    return host.isEmpty() ? kUpgradeHostDefault : host;
}

std::optional<int> ReadPipelineDepth() {
    const QString value = OpenProfile().value(kPipelineKey).toString().trimmed().toLower();
    if (value == QStringLiteral("off"))
        return 1;
    bool number = false;
    const int depth = value.toInt(&number);
    if (number && depth >= 1)
        return depth;
    return std::nullopt;
}

QString FilePath() {
    return OpenProfile().fileName();
}

QString PortsFolder() {
    return QFileInfo(FilePath()).absolutePath() + QStringLiteral("/ports");
}

}  // namespace Profile
