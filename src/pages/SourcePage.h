#pragma once

#include "SettingPage.h"

// The "Source" tab: one line per source (the tenth is the tuner) with its
// enabled box, name, inputs, A/V preset and triggers. The binding composes and
// splits the inputs' format and number and filters the trigger lists; the
// tuner has no inputs, so its input combos stand disabled and unbound.
class SourcePage : public SettingPage {
    Q_OBJECT

public:
    SourcePage();
};
