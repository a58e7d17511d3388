#include "StepSpinBox.h"

#include <QLineEdit>
#include <QWheelEvent>

StepSpinBox::StepSpinBox(QWidget* parent) : QAbstractSpinBox(parent) {
    lineEdit()->setReadOnly(true);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setFocusPolicy(Qt::StrongFocus);
}

QString StepSpinBox::Text() const {
    return lineEdit()->text();
}

void StepSpinBox::SetText(const QString& text) {
    lineEdit()->setText(text);
    lineEdit()->setCursorPosition(0);
}

void StepSpinBox::stepBy(int steps) {
    if (steps != 0)
        emit Stepped(steps);
}

QValidator::State StepSpinBox::validate(QString&, int&) const {
    return QValidator::Acceptable;
}

void StepSpinBox::fixup(QString&) const {}

QAbstractSpinBox::StepEnabled StepSpinBox::stepEnabled() const {
    return isEnabled() ? (StepUpEnabled | StepDownEnabled) : StepNone;
}

void StepSpinBox::wheelEvent(QWheelEvent* event) {
    // A page scrolled past the display must not step the receiver.
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QAbstractSpinBox::wheelEvent(event);
}
