#include "AppFixture.h"

#include "SettingPage.h"
#include "StepButtons.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include <vector>

namespace {

const char* const kBoundTabs[] = {"Source",  "Amplifier", "Display", "Listening Mode",
                                  "Speaker", "Trigger",   "Zone"};

// The window as it opens on a common desktop screen (1280 x 1024), which the
// offscreen platform otherwise makes 800 x 600.
class PageLayout : public AppFixture {
protected:
    static void SetUpTestSuite() {
        static QTemporaryDir folder;
        const QString config = folder.filePath(QStringLiteral("screen.json"));
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(R"({"screens":[{"name":"desktop","x":0,"y":0,"width":1280,"height":1024,)"
                   R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
        file.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    }

    QScrollArea* Show(const char* title) {
        Window().show();
        EXPECT_TRUE(Window().SelectTab(QString::fromLatin1(title))) << title;
        // A page shown for the first time is polished, then laid out anew:
        // that takes a few rounds of posted events.
        for (int round = 0; round < 5; ++round)
            QCoreApplication::processEvents();
        return qobject_cast<QScrollArea*>(Window().Tabs()->currentWidget());
    }
    static SettingPage* PageOf(QScrollArea* scroll) {
        return qobject_cast<SettingPage*>(scroll->widget());
    }
    // The controls a person sees and works with on a page.
    static std::vector<QWidget*> Controls(QWidget* page) {
        std::vector<QWidget*> controls;
        for (QWidget* widget : page->findChildren<QWidget*>()) {
            const bool control =
                qobject_cast<QComboBox*>(widget) || qobject_cast<QLineEdit*>(widget) ||
                qobject_cast<QCheckBox*>(widget) || qobject_cast<StepButtons*>(widget);
            // A combo's own line edit or list is part of the combo.
            if (control && widget->isVisibleTo(page) &&
                qobject_cast<QComboBox*>(widget->parentWidget()) == nullptr) {
                controls.push_back(widget);
            }
        }
        return controls;
    }
    static QRect Geometry(QWidget* widget, QWidget* page) {
        return QRect(widget->mapTo(page, QPoint(0, 0)), widget->size());
    }
};

QString SpokenName(QWidget* widget) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible == nullptr ? QString() : accessible->text(QAccessible::Name);
}

TEST_F(PageLayout, EveryControlHasANameAndArrowsAreNamedAfterTheirNumber) {
    for (const char* title : kBoundTabs) {
        SettingPage* page = PageOf(Show(title));
        ASSERT_NE(page, nullptr) << title;
        for (QWidget* control : Controls(page)) {
            if (auto* arrows = qobject_cast<StepButtons*>(control)) {
                auto* number =
                    qobject_cast<QLineEdit*>(arrows->parentWidget()->findChild<QLineEdit*>());
                ASSERT_NE(number, nullptr) << title;
                const QString name = SpokenName(number);
                EXPECT_EQ(SpokenName(arrows->UpButton()), name + " up") << title;
                EXPECT_EQ(SpokenName(arrows->DownButton()), name + " down") << title;
                continue;
            }
            EXPECT_FALSE(SpokenName(control).isEmpty())
                << title << ": " << control->metaObject()->className();
        }
    }
    EXPECT_EQ(SpokenName(PageOf(Show("Speaker"))->Control(ControlId::LevelLeft)),
              "Front Left level");
}

TEST_F(PageLayout, TabOrderFollowsReadingOrder) {
    for (const char* title : kBoundTabs) {
        SettingPage* page = PageOf(Show(title));
        std::vector<QWidget*> chain;
        for (QWidget* w = page->nextInFocusChain(); w != page; w = w->nextInFocusChain()) {
            if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) &&
                w->isVisibleTo(page)) {
                chain.push_back(w);
            }
        }
        ASSERT_FALSE(chain.empty()) << title;
        for (std::size_t i = 1; i < chain.size(); ++i) {
            QWidget* before = chain[i - 1];
            QWidget* after = chain[i];
            auto box = [](QWidget* w) {
                for (QWidget* p = w->parentWidget(); p != nullptr; p = p->parentWidget()) {
                    if (qobject_cast<QGroupBox*>(p))
                        return p;
                }
                return static_cast<QWidget*>(nullptr);
            };
            if (box(before) != box(after))
                continue;
            const QRect a = Geometry(before, page);
            const QRect b = Geometry(after, page);
            const bool sameLine = std::abs(a.center().y() - b.center().y()) < a.height() / 2;
            EXPECT_TRUE(sameLine ? b.x() > a.x() : b.center().y() > a.center().y())
                << title << ": " << qPrintable(SpokenName(before)) << " then "
                << qPrintable(SpokenName(after));
        }
    }
}

TEST_F(PageLayout, EachTabFitsTheDefaultWindowWithoutOverlapOrClipping) {
    for (const char* title : kBoundTabs) {
        QScrollArea* scroll = Show(title);
        SettingPage* page = PageOf(scroll);
        EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible()) << title;
        EXPECT_FALSE(scroll->verticalScrollBar()->isVisible()) << title;
        const std::vector<QWidget*> controls = Controls(page);
        for (std::size_t i = 0; i < controls.size(); ++i) {
            if (auto* combo = qobject_cast<QComboBox*>(controls[i])) {
                EXPECT_GE(combo->width(), combo->sizeHint().width())
                    << title << ": " << qPrintable(SpokenName(combo));
            }
            for (std::size_t j = i + 1; j < controls.size(); ++j) {
                EXPECT_FALSE(Geometry(controls[i], page).intersects(Geometry(controls[j], page)))
                    << title << ": " << qPrintable(SpokenName(controls[i])) << " and "
                    << qPrintable(SpokenName(controls[j]));
            }
        }
    }
}

TEST_F(PageLayout, TabsScrollInASmallWindow) {
    Show("Source");
    Window().resize(420, 320);
    for (const char* title : kBoundTabs) {
        QScrollArea* scroll = Show(title);
        SettingPage* page = PageOf(scroll);
        // Never squeezed below what its controls need: the area scrolls instead.
        EXPECT_GE(page->width(), page->minimumSizeHint().width()) << title;
        EXPECT_GE(page->height(), page->minimumSizeHint().height()) << title;
        if (page->minimumSizeHint().width() > scroll->viewport()->width()) {
            EXPECT_TRUE(scroll->horizontalScrollBar()->isVisible()) << title;
        }
    }
    EXPECT_TRUE(Show("Source")->horizontalScrollBar()->isVisible());
}

}  // namespace
