#pragma once

#include "SettingPage.h"

#include <array>

// Preset groups of the binding table.
enum class PresetGroup : int {
    None = 0,
    ListeningMode = 1,
    DspOptions = 2,
    SpeakerSetup = 4,
    DisplaySetup = 5,
    ToneControls = 6,
};

// The "A/V Preset" tab: names and setup switches of the five presets. The
// switches of the preset shown in the View combo decide which groups of the
// other pages can be edited in that view.
class AvPresetPage : public SettingPage {
    Q_OBJECT

public:
    explicit AvPresetPage(QWidget* parent = nullptr);

    // Recomputes the five flags from this page's combos for preset `view` (1..5);
    // view 0 keeps the last flags.
    void SetView(int view);
    bool Flag(PresetGroup group) const;

private:
    int m_view = 0;
    std::array<bool, 7> m_flags{};
};
