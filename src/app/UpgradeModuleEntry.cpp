// The upgrade module's one entry point: the program loads this module on its
// first upgrade check and creates the checker through it, so that Qt Network
// and the libraries behind it are loaded only when they are needed.

#include "UpgradeCheck.h"

#include <QtGlobal>

#include <type_traits>

extern "C" Q_DECL_EXPORT UpgradeChecker* AmpdeskCreateUpgradeChecker(
    int ownMajor, int ownMinor, UpgradeChecker::FinishedHook finished) {
    auto* check = new UpgradeCheck(ownMajor, ownMinor);
    QObject::connect(check, &UpgradeCheck::Finished, check,
                     [hook = std::move(finished)](UpgradeChecker::Outcome outcome) {
                         if (hook)
                             hook(outcome);
                     });
    return check;
}

static_assert(std::is_same_v<decltype(&AmpdeskCreateUpgradeChecker), CreateUpgradeCheckerFunction>);
