#include "PageTabs.h"

#include "AvPresetPage.h"
#include "BindingTable.h"
#include "ControlPage.h"
#include "PageBinding.h"
#include "PageFactory.h"
#include "SettingPage.h"
#include "TunerPage.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

namespace {

enum class TabKind { Bound, AvPreset, Control, Tuner };

struct TabRow {
    const char* title;
    TabKind kind;
    PageIndex page;  // the binding table's page number; unused for the tuner
};

// Tab order as the receiver's manual shows it; the binding table numbers its
// pages differently, hence the second column.
constexpr TabRow kTabTable[] = {
    {"Source", TabKind::Bound, PageIndex::Source},
    {"Amplifier", TabKind::Bound, PageIndex::Amplifier},
    {"Display", TabKind::Bound, PageIndex::Display},
    {"Listening Mode", TabKind::Bound, PageIndex::ListeningMode},
    {"Speaker", TabKind::Bound, PageIndex::Speaker},
    {"Trigger", TabKind::Bound, PageIndex::Trigger},
    {"Zone", TabKind::Bound, PageIndex::Zone},
    {"A/V Preset", TabKind::AvPreset, PageIndex::AvPreset},
    {"Control", TabKind::Control, PageIndex::Control},
    {"Tuner", TabKind::Tuner, PageIndex::Control},
};

bool TakesTabFocus(const QWidget* widget, const QWidget* page) {
    return widget != nullptr && widget != page && page->isAncestorOf(widget) &&
           (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && widget->isEnabled() &&
           widget->isVisibleTo(page);
}

}  // namespace

PageTabs BuildPageTabs(PageBinding& binding, QWidget* parent) {
    PageTabs built;
    built.tabs = new QTabWidget(parent);
    QTabWidget* tabs = built.tabs;
    tabs->setUsesScrollButtons(true);
    tabs->tabBar()->setAccessibleName(QStringLiteral("Pages"));
    // The tab row's own arrow keys do what its scroll buttons do; Tab passes them by.
    for (QToolButton* scroll : tabs->tabBar()->findChildren<QToolButton*>())
        scroll->setFocusPolicy(Qt::NoFocus);
    for (const TabRow& row : kTabTable) {
        QWidget* page = nullptr;
        switch (row.kind) {
            case TabKind::Bound: {
                SettingPage* bound = CreateBoundPage(row.page);
                binding.AttachPage(bound);
                page = bound;
                break;
            }
            case TabKind::AvPreset:
                built.avPreset = new AvPresetPage;
                binding.AttachPage(built.avPreset);
                page = built.avPreset;
                break;
            case TabKind::Control:
                built.control = new ControlPage;
                binding.AttachPage(built.control);
                page = built.control;
                break;
            case TabKind::Tuner:
                built.tuner = new TunerPage;
                page = built.tuner;
                break;
        }
        auto* scroll = new QScrollArea;
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        // The page's controls take the focus, and the area follows them.
        scroll->setFocusPolicy(Qt::NoFocus);
        scroll->setWidget(page);
        tabs->addTab(scroll, QString::fromLatin1(row.title));
    }
    return built;
}

QSize SizeForPages(const QTabWidget* tabs, QSize chrome) {
    QSize pages(0, 0);
    for (int i = 0; i < tabs->count(); ++i) {
        // A page in a scroll area is measured by what it holds; the Terminal
        // (no scroll area) takes whatever room the others leave.
        const auto* scroll = qobject_cast<QScrollArea*>(tabs->widget(i));
        if (scroll != nullptr && scroll->widget() != nullptr)
            pages = pages.expandedTo(scroll->widget()->sizeHint());
    }
    // All ten tab titles visible at once, without the scroll arrows.
    pages = pages.expandedTo(QSize(tabs->tabBar()->sizeHint().width(), 0));
    QSize wanted = pages + chrome + QSize(24, tabs->tabBar()->sizeHint().height() + 24);
    wanted = wanted.expandedTo(QSize(640, 480));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        wanted = wanted.boundedTo(screen->availableSize() * 9 / 10);
    }
    return wanted;
}

void FocusChosenPage(QTabWidget* tabs, int index) {
    QWidget* page = tabs->widget(index);
    QWidget* focus = QApplication::focusWidget();
    // Someone walking the tabs from the keyboard stays on the tab row.
    if (page == nullptr || (focus != nullptr && focus == tabs->tabBar()))
        return;
    // The page remembers the control it last gave the focus to.
    QWidget* target = page->focusWidget();
    if (!TakesTabFocus(target, page)) {
        // Otherwise its first control in tab order.
        target = nullptr;
        for (QWidget* next = page->nextInFocusChain(); next != page && target == nullptr;
             next = next->nextInFocusChain()) {
            if (TakesTabFocus(next, page))
                target = next;
        }
    }
    if (target == nullptr)
        target = tabs->tabBar();
    target->setFocus(Qt::OtherFocusReason);
}
