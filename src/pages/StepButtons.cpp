#include "StepButtons.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

StepButtons::StepButtons(QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QToolButton* button : {m_up, m_down}) {
        button->setAutoRepeat(true);
        button->setFixedSize(18, 12);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void StepButtons::SetBuddy(QLineEdit* buddy) {
    m_buddy = buddy;
    ListenToKeysOf(buddy);
    if (m_buddy != nullptr)
        setEnabled(m_buddy->isEnabled());
}

void StepButtons::ListenToKeysOf(QLineEdit* edit) {
    if (m_keySource != nullptr)
        m_keySource->removeEventFilter(this);
    m_keySource = edit;
    if (m_keySource != nullptr)
        m_keySource->installEventFilter(this);
}

bool StepButtons::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_keySource)
        return QWidget::eventFilter(watched, event);
    if (watched == m_buddy && event->type() == QEvent::EnabledChange)
        setEnabled(m_buddy->isEnabled());
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    // Up, Down, Page Up and Page Down in the (read-only) edit press the
    // arrows, so the number can be changed without a mouse.
    QToolButton* arrow = nullptr;
    switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_PageUp:
            arrow = m_up;
            break;
        case Qt::Key_Down:
        case Qt::Key_PageDown:
            arrow = m_down;
            break;
        default:
            return QWidget::eventFilter(watched, event);
    }
    // A held key repeats like a held arrow; disabled arrows ignore the press.
    arrow->click();
    return true;
}

void StepButtons::NameArrows(const QString& subject) {
    m_up->setAccessibleName(subject + QStringLiteral(" up"));
    m_down->setAccessibleName(subject + QStringLiteral(" down"));
}

void StepButtons::SetRange(int minimum, int maximum) {
    m_minimum = std::min(minimum, maximum);
    m_maximum = std::max(minimum, maximum);
}

void StepButtons::Step(int delta) {
    emit Stepped(delta);
    if (m_buddy == nullptr)
        return;
    bool ok = false;
    const int shown = m_buddy->text().trimmed().toInt(&ok);
    // A buddy showing no number (say "error") starts from the range's lower end.
    const int from = ok ? std::clamp(shown, m_minimum, m_maximum) : m_minimum;
    const int to = std::clamp(from + delta, m_minimum, m_maximum);
    if (ok && to == shown)
        return;
    m_buddy->setText(QString::number(to));
}
