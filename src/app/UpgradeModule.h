#pragma once

#include "UpgradeChecker.h"

#include <QString>

#include <memory>

// Finds and loads the upgrade check module, which lies beside the program's
// folder in lib/ampdesk/plugins, and creates a checker from it. On failure the reason
// is in `error` and nothing is returned. A loaded module stays loaded.
namespace UpgradeModule {

QString ModulePath(const QString& executableDir);
std::unique_ptr<UpgradeChecker> Create(const QString& executableDir, int ownMajor, int ownMinor,
                                       UpgradeChecker::FinishedHook finished, QString* error);

}  // namespace UpgradeModule
