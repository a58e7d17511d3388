#pragma once

#include "SettingPage.h"

// The "Speaker" tab: size and crossover per speaker group, back speakers,
// subwoofer and Enhanced Bass, and the level and distance of each channel.
// Enhanced Bass can be chosen only with large fronts and a subwoofer.
class SpeakerPage : public SettingPage {
    Q_OBJECT

public:
    SpeakerPage();

    void AfterEnableRule(ControlId controlId, bool enabled) override;

protected:
    void OnControlChange(ControlId id, const QVariant& argument) override;

private:
    void BuildCrossover(QWidget* box);
    void BuildLevels(QWidget* box);
    void EnhancedBassRule();

    // What the general enable rule last decided for Enhanced Bass; the page's
    // rule may only narrow it.
    bool m_enhancedBassAllowed = true;
};
