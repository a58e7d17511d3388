#include "FormPage.h"
#include "FormPages.h"

namespace {

constexpr int kMaximumDelay = 15;

// The three 12-volt trigger outputs: who drives each, and its delay.
constexpr FormField kTriggerFields[] = {
    {nullptr, nullptr, "Trigger 1 Out", nullptr, 1240},
    {nullptr, nullptr, "Delay", "Trigger 1 Delay", 1239, 1241, 0, kMaximumDelay},
    {nullptr, nullptr, "Trigger 2 Out", nullptr, 1243},
    {nullptr, nullptr, "Delay", "Trigger 2 Delay", 1242, 1244, 0, kMaximumDelay},
    {nullptr, nullptr, "Trigger 3 Out", nullptr, 1246},
    {nullptr, nullptr, "Delay", "Trigger 3 Delay", 1245, 1247, 0, kMaximumDelay},
};

// A target change rebuilds the Source page's trigger lists, which may show a
// source's stored combination as "None".
constexpr const char* kTriggerNotes[] = {
    "Note: Changing the trigger out setting could reset\nthe source trigger setting",
};

}  // namespace

SettingPage* CreateTriggerPage() {
    return new FormPage(PageIndex::Trigger, kTriggerFields, kTriggerNotes);
}
