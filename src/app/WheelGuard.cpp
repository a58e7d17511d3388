#include "WheelGuard.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>

WheelGuard::WheelGuard(QWidget* root) : QObject(root), m_root(root) {
    qApp->installEventFilter(this);
}

bool WheelGuard::Guards(QObject* watched) const {
    if (m_root == nullptr || !watched->isWidgetType())
        return false;
    if (qobject_cast<QComboBox*>(watched) == nullptr &&
        qobject_cast<QAbstractSpinBox*>(watched) == nullptr)
        return false;
    // Across window boundaries too: the preset editor is a window of the tuner page.
    for (const QWidget* widget = static_cast<QWidget*>(watched); widget != nullptr;
         widget = widget->parentWidget()) {
        if (widget == m_root)
            return true;
    }
    return false;
}

bool WheelGuard::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Polish:
        case QEvent::Show:
            // Before the control can be under the pointer: the application
            // gives a wheel-focus control the focus before any filter sees the
            // wheel event.
            if (Guards(watched)) {
                auto* control = static_cast<QWidget*>(watched);
                if (control->focusPolicy() == Qt::WheelFocus)
                    control->setFocusPolicy(Qt::StrongFocus);
            }
            break;
        case QEvent::FocusIn: {
            // Only a control the user focused steps with the wheel: the one the
            // window focuses on opening a page scrolls it like any other.
            // Returning to the window or leaving a list keeps the last verdict.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
                m_focusedByUser = reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
                                  reason == Qt::BacktabFocusReason ||
                                  reason == Qt::ShortcutFocusReason;
            }
            break;
        }
        case QEvent::Wheel:
            // Ignored and handled: the application offers it to the parents,
            // up to the page's scroll area.
            if (Guards(watched) &&
                !(m_focusedByUser && static_cast<QWidget*>(watched)->hasFocus())) {
                event->ignore();
                return true;
            }
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}
