#pragma once

#include "BindingTable.h"

class SettingPage;

// Creates the setting page of a binding-table page number for the pages that
// need nothing from the main window but the binding: Source, Amplifier,
// Display, Listening Mode, Speaker, Trigger and Zone. The caller owns it.
SettingPage* CreateBoundPage(PageIndex page);
