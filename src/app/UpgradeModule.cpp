#include "UpgradeModule.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace UpgradeModule {

QString ModulePath(const QString& executableDir) {
    return QDir::cleanPath(
        QDir(executableDir).filePath(QStringLiteral("../lib/ampdesk/plugins/ampdesk-upgrade.so")));
}

std::unique_ptr<UpgradeChecker> Create(const QString& executableDir, int ownMajor, int ownMinor,
                                       UpgradeChecker::FinishedHook finished, QString* error) {
    const QString path = ModulePath(executableDir);
    if (!QFileInfo::exists(path)) {
        *error = QStringLiteral("%1 does not exist").arg(path);
        return nullptr;
    }
    QLibrary library(path);
    const auto create = reinterpret_cast<CreateUpgradeCheckerFunction>(
        library.resolve(kCreateUpgradeCheckerSymbol));
    if (create == nullptr) {
        *error = library.errorString();
        return nullptr;
    }
    UpgradeChecker* checker = create(ownMajor, ownMinor, std::move(finished));
    if (checker == nullptr)
        *error = QStringLiteral("%1 made no checker").arg(path);
    return std::unique_ptr<UpgradeChecker>(checker);
}

}  // namespace UpgradeModule
