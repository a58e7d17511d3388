#pragma once

#include "SettingPage.h"

#include <array>

class QComboBox;

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

    static constexpr int kPresetCount = 5;
    static constexpr int kSetupCount = 5;

private:
    void OnSetupChosen(int controlId, int index);

    // Setup combos by column (Listening Mode .. Display Setup) and preset.
    std::array<std::array<QComboBox*, kPresetCount>, kSetupCount> m_setupCombos{};
    int m_view = 0;
    std::array<bool, 7> m_flags{};
};
