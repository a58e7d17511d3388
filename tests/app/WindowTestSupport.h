#pragma once

#include "AppFixture.h"

#include <QString>

#include <ostream>

class QWidget;

// Lets test output show texts rather than bytes.
void PrintTo(const QString& text, std::ostream* os);

// The name assistive technology announces for the control, read as the
// accessibility bus reads it: for a combo box the labels that label it, its
// buddy label then its group box (Qt on Linux reports a combo box's current
// entry as its name, ignoring its accessible name, and leaves the rest to the
// "labelled by" relation);
// otherwise the interface's name (accessible name, own caption, label buddy).
QString AccessibleNameOf(QWidget* widget);

// A control a user reaches or works: it takes the focus, or its role is one of
// the acting ones (buttons, boxes, edits, lists, tabs).
bool IsInteractive(QWidget* widget);

// True for widgets that another control presents as its own parts (a combo
// box's edit and list, a spin box's edit, the menu bar's overflow button),
// for widgets in popups (menus, combo lists) and for widgets that hand their
// focus to another.
bool IsPartOfAnother(const QWidget* widget, const QWidget* root);

// "QComboBox 'Power'" with the widget's object name when it has one.
QString Describe(QWidget* widget);

// The letter after a single "&" of a caption, lower case; empty when none.
QString MnemonicOf(const QString& caption);

// The window as a user has it: shown, active, keyboard going to it.
class WindowFixture : public AppFixture {
protected:
    MainDialog& ShownWindow();
    // The page shown under the tab with that title (inside its scroll area).
    QWidget* PageOf(const QString& title);
    // Presses Tab from `start` until the focus comes back to it (at most
    // `limit` presses) and returns every widget that had the focus on the way.
    static QList<QWidget*> TabCycle(QWidget* start, int limit = 400);
};
