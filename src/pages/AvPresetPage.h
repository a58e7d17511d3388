#pragma once

#include "SettingPage.h"

// The "A/V Preset" tab: names and setup switches of the five presets. The
// switches of the preset shown in the View combo decide which groups of the
// other pages can be edited in that view (PageBinding::PresetCovers reads them).
class AvPresetPage : public SettingPage {
    Q_OBJECT

public:
    explicit AvPresetPage(QWidget* parent = nullptr);

    static constexpr int kSetupCount = 5;
};
