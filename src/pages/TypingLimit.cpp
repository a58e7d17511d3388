#include "TypingLimit.h"

#include <QLineEdit>

TypingLimit::TypingLimit(int maximum, QLineEdit* edit)
    : QValidator(edit), m_maximum(maximum), m_edit(edit), m_accepted(edit->text()) {
    connect(edit, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_accepted = text; });
    edit->setValidator(this);
}

QValidator::State TypingLimit::validate(QString& input, int&) const {
    // Text set by the program leaves the edit unmodified; the edit also asks
    // again about the text it already holds.
    if (!m_edit->isModified() || input == m_accepted)
        return Acceptable;
    if (input.size() <= m_maximum || input.size() < m_accepted.size())
        return Acceptable;
    return Invalid;
}
