#include "FormPage.h"
#include "FormPages.h"

namespace {

// The back amplifier exists only on the models the row's mask names; on the
// others the binding disables the combo.
constexpr FormField kAmplifierFields[] = {
    {nullptr, nullptr, "Back Amp", nullptr, ControlId::AmpBack},
};

}  // namespace

SettingPage* CreateAmplifierPage() {
    return new FormPage(PageIndex::Amplifier, kAmplifierFields);
}
