#pragma once

#include <QString>
#include <QValidator>

class QLineEdit;

// Limits what the user types into an edit to `maximum` characters without
// cutting text the program puts there: a longer name from the receiver or a
// file is shown whole, and the user may shorten it but not lengthen it.
// (A line edit's maximum length would cut the program's text as well, and the
// next keystroke would send the cut text.)
class TypingLimit : public QValidator {
    Q_OBJECT

public:
    // Installs itself on `edit`, which owns it.
    TypingLimit(int maximum, QLineEdit* edit);

    State validate(QString& input, int& position) const override;
    int Maximum() const { return m_maximum; }

private:
    int m_maximum;
    QLineEdit* m_edit;
    QString m_accepted;  // the edit's text after its last change
};
