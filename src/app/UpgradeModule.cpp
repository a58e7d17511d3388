#include "UpgradeModule.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace UpgradeModule {

namespace {

const QString kModuleFile = QStringLiteral("ampdesk-upgrade.so");

}  // namespace

QStringList Candidates(const QString& executableDir) {
    const QDir bin(executableDir);
    return {QDir::cleanPath(bin.filePath(QStringLiteral("../lib/ampdesk/plugins/") + kModuleFile))};
}

std::unique_ptr<UpgradeChecker> Create(const QString& executableDir, int ownMajor, int ownMinor,
                                       UpgradeChecker::FinishedHook finished, QString* error) {
    QStringList problems;
    for (const QString& path : Candidates(executableDir)) {
        if (!QFileInfo::exists(path)) {
            problems << QStringLiteral("%1 does not exist").arg(path);
            continue;
        }
        QLibrary library(path);
        const auto create = reinterpret_cast<CreateUpgradeCheckerFunction>(
            library.resolve(kCreateUpgradeCheckerSymbol));
        if (create == nullptr) {
            problems << library.errorString();
            continue;
        }
        if (UpgradeChecker* checker = create(ownMajor, ownMinor, std::move(finished)))
            return std::unique_ptr<UpgradeChecker>(checker);
        problems << QStringLiteral("%1 made no checker").arg(path);
    }
    *error = problems.join(QLatin1Char('\n'));
    return nullptr;
}

}  // namespace UpgradeModule
