#include "FormPage.h"
#include "FormPages.h"
#include "SettingRanges.h"

namespace {

constexpr int kMaximumDelay = kTriggerDelayRange.maximum;

// The three 12-volt trigger outputs: who drives each, and its delay.
constexpr FormField kTriggerFields[] = {
    {nullptr, nullptr, "Trigger 1 Out", nullptr, ControlId::Trigger1Out},
    {nullptr, nullptr, "Delay", "Trigger 1 Delay", ControlId::Trigger1Delay,
     ControlId::Trigger1DelayArrows, 0, kMaximumDelay},
    {nullptr, nullptr, "Trigger 2 Out", nullptr, ControlId::Trigger2Out},
    {nullptr, nullptr, "Delay", "Trigger 2 Delay", ControlId::Trigger2Delay,
     ControlId::Trigger2DelayArrows, 0, kMaximumDelay},
    {nullptr, nullptr, "Trigger 3 Out", nullptr, ControlId::Trigger3Out},
    {nullptr, nullptr, "Delay", "Trigger 3 Delay", ControlId::Trigger3Delay,
     ControlId::Trigger3DelayArrows, 0, kMaximumDelay},
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
