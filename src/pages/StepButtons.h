#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// A pair of small up/down arrows beside a number edit. Every press emits
// Stepped (+1 up, -1 down). With a buddy edit, a press also writes the buddy's
// number moved by one step and held within the range into the buddy, so the
// arrows never go past the range ends and a press at an end changes nothing;
// and the arrows are enabled exactly while the buddy is, since writing the
// buddy changes its setting. The arrows take no keyboard focus: the edit they
// serve (the buddy, or the edit named by ListenToKeysOf) passes its Up, Down,
// Page Up and Page Down keys on to them.
class StepButtons : public QWidget {
    Q_OBJECT

public:
    explicit StepButtons(QWidget* parent = nullptr);

    void SetRange(int minimum, int maximum);
    void SetBuddy(QLineEdit* buddy);
    // For arrows without a buddy: the edit whose keys press them.
    void ListenToKeysOf(QLineEdit* edit);
    // Names the arrows for assistive technology: "<subject> up", "<subject> down".
    void NameArrows(const QString& subject);
    int Minimum() const { return m_minimum; }
    int Maximum() const { return m_maximum; }

    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

signals:
    void Stepped(int delta);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Step(int delta);

    QToolButton* m_up;
    QToolButton* m_down;
    QLineEdit* m_buddy = nullptr;
    QLineEdit* m_keySource = nullptr;
    int m_minimum = 0;
    int m_maximum = 100;
};
