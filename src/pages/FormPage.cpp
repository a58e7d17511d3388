#include "FormPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <cstring>

namespace {

bool SameText(const char* a, const char* b) {
    return a == b || (a != nullptr && b != nullptr && std::strcmp(a, b) == 0);
}

QString SpokenName(const FormField& field) {
    if (field.name != nullptr)
        return QString::fromLatin1(field.name);
    const QString label = QString::fromLatin1(field.label);
    return field.heading == nullptr ? label : QString::fromLatin1(field.heading) + ' ' + label;
}

}  // namespace

FormPage::FormPage(PageIndex index, std::span<const FormField> fields,
                   std::span<const char* const> notes, QWidget* parent)
    : SettingPage(index, parent) {
    auto* outer = new QVBoxLayout(this);
    auto* boxes = new QGridLayout;
    outer->addLayout(boxes);

    int boxCount = 0;
    QGridLayout* grid = nullptr;
    QWidget* area = this;
    int line = 0;
    const FormField* previous = nullptr;
    for (const FormField& field : fields) {
        if (previous == nullptr || !SameText(previous->group, field.group)) {
            // A new box, two boxes to a line; fields without a group share a plain area.
            QWidget* holder = nullptr;
            if (field.group != nullptr) {
                holder = new QGroupBox(QString::fromLatin1(field.group), this);
            } else {
                holder = new QWidget(this);
            }
            grid = new QGridLayout(holder);
            grid->setColumnStretch(3, 1);
            area = holder;
            boxes->addWidget(holder, boxCount / 2, boxCount % 2, Qt::AlignTop);
            ++boxCount;
            line = 0;
            previous = nullptr;
        }
        if (field.heading != nullptr &&
            (previous == nullptr || !SameText(previous->heading, field.heading))) {
            grid->addWidget(Heading(field.heading, area), line++, 0, 1, 3);
        }
        FieldWidgets widgets;
        widgets.label = new QLabel(QString::fromLatin1(field.label), area);
        if (field.heading != nullptr)
            widgets.label->setIndent(12);
        grid->addWidget(widgets.label, line, 0);
        const QString name = SpokenName(field);
        if (field.arrowsId == ControlId::None) {
            QComboBox* combo = AddCombo(field.id, name, area);
            widgets.label->setBuddy(combo);
            widgets.box = combo;
        } else {
            const NumberField number =
                AddNumber(field.id, field.arrowsId, field.minimum, field.maximum, name, area);
            widgets.label->setBuddy(number.edit);
            widgets.box = number.box;
            if (field.unit != nullptr) {
                widgets.unit = new QLabel(QString::fromLatin1(field.unit), area);
                grid->addWidget(widgets.unit, line, 2);
            }
        }
        grid->addWidget(widgets.box, line, 1);
        m_fields.insert(static_cast<int>(field.id), widgets);
        ++line;
        previous = &field;
    }
    boxes->setColumnStretch(2, 1);

    for (const char* note : notes) {
        outer->addWidget(Note(QString::fromLatin1(note), this));
    }
    outer->addStretch();
}

void FormPage::SetFieldVisible(ControlId id, bool visible) {
    const auto found = m_fields.constFind(static_cast<int>(id));
    if (found == m_fields.cend())
        return;
    for (QWidget* widget :
         {static_cast<QWidget*>(found->label), found->box, static_cast<QWidget*>(found->unit)}) {
        if (widget != nullptr)
            widget->setVisible(visible);
    }
}
