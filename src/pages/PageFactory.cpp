#include "PageFactory.h"

#include "FormPages.h"
#include "SourcePage.h"
#include "SpeakerPage.h"
#include "ZonePage.h"

SettingPage* CreateBoundPage(PageIndex page) {
    switch (page) {
        case PageIndex::Source:
            return new SourcePage;
        case PageIndex::Amplifier:
            return CreateAmplifierPage();
        case PageIndex::Display:
            return CreateDisplayPage();
        case PageIndex::ListeningMode:
            return CreateListeningModePage();
        case PageIndex::Speaker:
            return new SpeakerPage;
        case PageIndex::Trigger:
            return CreateTriggerPage();
        case PageIndex::Zone:
            return new ZonePage;
        case PageIndex::AvPreset:
        case PageIndex::Control:
            break;
    }
    // The A/V Preset and Control pages need the main window's hooks; it makes them.
    return new SettingPage(page);
}
