#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

// Keeps the mouse wheel from changing a setting the user is not working on.
// Over a combo box or spin box inside `root` that the user has not focused
// (click, Tab, a shortcut), a wheel event is passed on to the scroll area
// beneath, and such controls no longer take the focus from the wheel (that
// would let the first notch change them after all). A control the user has
// focused steps with the wheel as usual. It watches the whole application, so
// a control created later or shown in a window of its own (the preset editor)
// is covered as soon as it belongs to `root`.
class WheelGuard : public QObject {
    Q_OBJECT

public:
    // Owned by `root`; watches the application while both exist.
    explicit WheelGuard(QWidget* root);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool Guards(QObject* watched) const;

    QPointer<QWidget> m_root;
    // Whether the widget with the keyboard focus got it from the user.
    bool m_focusedByUser = false;
};
