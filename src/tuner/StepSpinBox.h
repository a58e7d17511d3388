#pragma once

#include <QAbstractSpinBox>

// A read-only text with up and down arrows that holds no number of its own:
// each step (arrow, Up/Down key, Page Up/Down, wheel while focused) is handed
// out as Stepped, and whoever listens decides what the text becomes. The text
// stays selectable.
class StepSpinBox : public QAbstractSpinBox {
    Q_OBJECT

public:
    explicit StepSpinBox(QWidget* parent = nullptr);

    QString Text() const;
    void SetText(const QString& text);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

signals:
    // Positive up, negative down.
    void Stepped(int steps);

protected:
    StepEnabled stepEnabled() const override;
    void wheelEvent(QWheelEvent* event) override;
};
