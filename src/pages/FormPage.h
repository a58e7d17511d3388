#pragma once

#include "SettingPage.h"

#include <QHash>

#include <span>

class QLabel;

// One bound control of a form page, in reading order.
struct FormField {
    const char* group;    // group box title; nullptr: the field stands outside any box
    const char* heading;  // shown above the field when it differs from the previous field's
    const char* label;
    const char* name;  // what assistive technology reads; nullptr: heading and label
    ControlId id;
    // An arrowsId makes the field a read-only number with arrows in
    // minimum..maximum instead of a combo.
    ControlId arrowsId = ControlId::None;
    int minimum = 0;
    int maximum = 0;
    const char* unit = nullptr;  // shown after a number
};

// A page of labelled combos and numbers, in group boxes laid out two to a
// line; built from its table of fields and, optionally, notes shown below.
class FormPage : public SettingPage {
    Q_OBJECT

public:
    FormPage(PageIndex index, std::span<const FormField> fields,
             std::span<const char* const> notes = {}, QWidget* parent = nullptr);

protected:
    // Shows or hides a field with its label, arrows and unit.
    void SetFieldVisible(ControlId id, bool visible);

private:
    // Everything shown for one field besides its control.
    struct FieldWidgets {
        QLabel* label = nullptr;
        QWidget* box = nullptr;
        QLabel* unit = nullptr;
    };
    QHash<int, FieldWidgets> m_fields;
};
