#include "PageFactory.h"

#include "SettingPage.h"

SettingPage* CreateBoundPage(PageIndex page) {
    return new SettingPage(page);
}
