#pragma once

class SettingPage;

// The plain bound pages: a table of fields each, no rule of their own (the
// Trigger page's effect on the Source page's trigger lists is the binding's).
SettingPage* CreateAmplifierPage();
SettingPage* CreateDisplayPage();
SettingPage* CreateListeningModePage();
SettingPage* CreateTriggerPage();
