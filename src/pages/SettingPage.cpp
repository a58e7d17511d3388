#include "SettingPage.h"

#include "StepButtons.h"
#include "TypingLimit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

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
    connect(edit, &QLineEdit::textChanged, this, [this, id] { OnControlChange(id, QVariant()); });
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
