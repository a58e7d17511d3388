#include "WindowTestSupport.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QMenuBar>
#include <QScrollArea>
#include <QTabWidget>
#include <QTest>

void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

QString AccessibleNameOf(QWidget* widget) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    if (iface == nullptr)
        return {};
    if (iface->role() == QAccessible::ComboBox) {
        QStringList labels;
        for (const auto& relation : iface->relations(QAccessible::Label))
            labels << relation.first->text(QAccessible::Name).trimmed();
        return labels.join(' ');
    }
    return iface->text(QAccessible::Name).trimmed();
}

bool IsInteractive(QWidget* widget) {
    if (widget->focusPolicy() != Qt::NoFocus)
        return true;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    if (iface == nullptr)
        return false;
    switch (iface->role()) {
        case QAccessible::PushButton:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::ComboBox:
        case QAccessible::EditableText:
        case QAccessible::SpinBox:
        case QAccessible::Slider:
        case QAccessible::Dial:
        case QAccessible::ButtonDropDown:
        case QAccessible::ButtonMenu:
        case QAccessible::ButtonDropGrid:
        case QAccessible::PageTab:
        case QAccessible::PageTabList:
        case QAccessible::List:
        case QAccessible::Table:
        case QAccessible::Tree:
        case QAccessible::Link:
        case QAccessible::Terminal:
            return true;
        default:
            return false;
    }
}

bool IsPartOfAnother(const QWidget* widget, const QWidget* root) {
    if (widget->focusProxy() != nullptr)
        return true;
    for (const QWidget* up = widget->parentWidget(); up != nullptr && up != root;
         up = up->parentWidget()) {
        if (qobject_cast<const QComboBox*>(up) || qobject_cast<const QAbstractSpinBox*>(up) ||
            qobject_cast<const QMenuBar*>(up)) {
            return true;
        }
    }
    for (const QWidget* up = widget; up != nullptr && up != root; up = up->parentWidget()) {
        if (up->windowType() == Qt::Popup)
            return true;
    }
    return false;
}

QString Describe(QWidget* widget) {
    QString text = QString::fromLatin1(widget->metaObject()->className()) + " '" +
                   AccessibleNameOf(widget) + "'";
    if (!widget->objectName().isEmpty())
        text += " (" + widget->objectName() + ")";
    return text;
}

QString MnemonicOf(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&')
            continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return caption[i + 1].toLower();
    }
    return {};
}

MainDialog& WindowFixture::ShownWindow() {
    MainDialog& window = Window();
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    return window;
}

QWidget* WindowFixture::PageOf(const QString& title) {
    QTabWidget* tabs = Window().Tabs();
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->tabText(i) != title)
            continue;
        auto* scroll = qobject_cast<QScrollArea*>(tabs->widget(i));
        return scroll != nullptr ? scroll->widget() : tabs->widget(i);
    }
    return nullptr;
}

QList<QWidget*> WindowFixture::TabCycle(QWidget* start, int limit) {
    start->setFocus(Qt::TabFocusReason);
    QList<QWidget*> visited{QApplication::focusWidget()};
    for (int i = 0; i < limit; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        if (now == nullptr || now == visited.first())
            break;
        visited << now;
    }
    return visited;
}
