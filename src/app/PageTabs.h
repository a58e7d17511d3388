#pragma once

#include <QSize>

class AvPresetPage;
class ControlPage;
class PageBinding;
class QTabWidget;
class QWidget;
class TunerPage;

// The window's ten tab pages, in the order the receiver's manual shows them,
// each in a scroll area so that the window can be made smaller than a page.
struct PageTabs {
    QTabWidget* tabs = nullptr;
    ControlPage* control = nullptr;
    AvPresetPage* avPreset = nullptr;
    TunerPage* tuner = nullptr;
};

// The bound pages are attached to `binding`.
PageTabs BuildPageTabs(PageBinding& binding, QWidget* parent);

// A window size that shows every page whole and all tab titles at once, within
// nine tenths of the screen; `chrome` is what the window holds besides the tabs.
QSize SizeForPages(const QTabWidget* tabs, QSize chrome);

// Moves the focus into the page just chosen, unless the user walks the tab row.
void FocusChosenPage(QTabWidget* tabs, int index);
