#include "SettingPage.h"

#include "StepButtons.h"
#include "TypingLimit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

namespace {

// How long typing rests before an edit's text goes to the receiver. Longer
// than the gap between keys of someone typing a name (100-250 ms), so that a
// name goes out whole rather than letter by letter, each letter's answer
// coming back while the next is typed; short enough that a pause to look at
// the receiver's display finds the name there.
constexpr int kTypingPauseMs = 400;

}  // namespace

SettingPage::SettingPage(PageIndex index, QWidget* parent) : QWidget(parent), m_index(index) {}

void SettingPage::AfterEnableRule(ControlId, bool) {}

void SettingPage::RowShown(const BindingRow&, const QByteArray&) {}

void SettingPage::RowChosen(const BindingRow&, const QByteArray&) {}

void SettingPage::Register(ControlId id, QWidget* control) {
    m_controls.insert(static_cast<int>(id), control);
}

void SettingPage::RegisterCombo(ControlId id, QComboBox* combo) {
    Register(id, combo);
    // `activated` is the user's choice only: a refresh selecting an entry must
    // not run the handler (the A/V Preset page would start a nested refresh).
    connect(combo, &QComboBox::activated, this,
            [this, id, combo](int position) { OnControlChange(id, combo->itemData(position)); });
}

void SettingPage::RegisterEdit(ControlId id, QLineEdit* edit) {
    Register(id, edit);
    if (edit->isReadOnly()) {
        connect(edit, &QLineEdit::textChanged, this,
                [this, id] { OnControlChange(id, QVariant()); });
        return;
    }
    auto* pause = new QTimer(edit);
    pause->setSingleShot(true);
    pause->setInterval(kTypingPauseMs);
    // `textEdited` is the user's typing only, not a refresh's text.
    connect(edit, &QLineEdit::textEdited, pause, qOverload<>(&QTimer::start));
    connect(pause, &QTimer::timeout, this, [this, id] { OnControlChange(id, QVariant()); });
    m_typedEdits.insert(edit, TypedEdit{id, pause});
    edit->installEventFilter(this);
}

bool SettingPage::eventFilter(QObject* watched, QEvent* event) {
    const auto typed = m_typedEdits.constFind(watched);
    if (typed == m_typedEdits.cend())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        // The edit's own menu is no end of editing; another control or window is.
        EndTyping(*typed);
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Return ends the edit here; passed on, it would press the window's
        // default button.
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            EndTyping(*typed);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SettingPage::EndTyping(const TypedEdit& typed) {
    if (typed.pause->isActive()) {
        typed.pause->stop();
        OnControlChange(typed.id, QVariant());
    }
    if (m_binding != nullptr)
        m_binding->EditingEnded(typed.id);
}

void SettingPage::RegisterCheck(ControlId id, QCheckBox* box) {
    Register(id, box);
    connect(box, &QCheckBox::clicked, this,
            [this, id](bool checked) { OnControlChange(id, checked); });
}

void SettingPage::OnControlChange(ControlId id, const QVariant& argument) {
    Forward(id, argument);
}

QVariant SettingPage::ChosenValue(ControlId comboId) const {
    auto* combo = qobject_cast<QComboBox*>(Control(comboId));
    return combo == nullptr ? QVariant() : combo->currentData();
}

QComboBox* SettingPage::AddCombo(ControlId id, const QString& name, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    // As wide as its longest entry when first shown: the lists are filled
    // before that, and a list refilled later (the source triggers) is given a
    // minimum width for its widest entry. Adjusting to every refill instead
    // would build each combo's popup up front, about 2 MB for all pages. A
    // window too small for the page scrolls rather than clipping entries.
    combo->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    combo->setAccessibleName(name);
    RegisterCombo(id, combo);
    return combo;
}

QLineEdit* SettingPage::AddText(ControlId id, int maxLength, const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    // Not the edit's maximum length, which would also cut a longer name the
    // receiver or a file holds, and the next keystroke would send it cut.
    new TypingLimit(maxLength, edit);
    edit->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    edit->setAccessibleName(name);
    RegisterEdit(id, edit);
    return edit;
}

QCheckBox* SettingPage::AddCheck(ControlId id, const QString& caption, const QString& name,
                                 QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setAccessibleName(name);
    RegisterCheck(id, box);
    return box;
}

NumberField SettingPage::AddNumber(ControlId editId, ControlId arrowsId, int minimum, int maximum,
                                   const QString& name, QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* edit = new QLineEdit(box);
    edit->setReadOnly(true);
    edit->setAlignment(Qt::AlignRight);
    // Room for "-72" and a little more, whatever the font.
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("-000")) + 16);
    edit->setAccessibleName(name);
    auto* arrows = new StepButtons(box);
    arrows->SetRange(minimum, maximum);
    arrows->SetBuddy(edit);
    arrows->NameArrows(name);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(edit);
    layout->addWidget(arrows);
    layout->addStretch();
    RegisterEdit(editId, edit);
    Register(arrowsId, arrows);
    return {box, edit, arrows};
}

QLabel* SettingPage::Heading(const char* text, QWidget* parent) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

void SettingPage::LabelForScreenReaders(QComboBox* combo, const QString& name) {
    auto* label = new QLabel(name, combo->parentWidget());
    label->setBuddy(combo);
    label->hide();
}

QLabel* SettingPage::Note(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont smaller = label->font();
    smaller.setPointSizeF(smaller.pointSizeF() * 0.9);
    label->setFont(smaller);
    return label;
}

void SettingPage::Forward(ControlId id, const QVariant& argument) {
    if (IsLoading() || m_binding == nullptr)
        return;
    m_binding->ControlChanged(id, argument);
}

void SettingPage::RefreshView() {
    if (m_binding != nullptr)
        m_binding->RefreshView();
}
