#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Every question and message the main window puts to the user goes through
// here, so that a test can answer without a person.
class Prompts {
public:
    virtual ~Prompts() = default;

    virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;
    virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
    // The chosen path, or empty when the user cancelled.
    virtual QString SaveFileName(QWidget* parent) = 0;
    // The chosen paths in the dialog's order, or empty when not confirmed.
    virtual QStringList OpenFileNames(QWidget* parent) = 0;
};

// Real message boxes and file dialogs.
class DialogPrompts : public Prompts {
public:
    static inline const QString kMessageTitle = QStringLiteral("Ampdesk");
    static inline const QString kSaveTitle = QStringLiteral("Save File");
    static inline const QString kOpenTitle = QStringLiteral("Open File");
    static inline const QString kDefaultSuffix = QStringLiteral("kvx");
    static QStringList FileFilters();

    bool AskYesNo(QWidget* parent, const QString& text) override;
    void ShowMessage(QWidget* parent, const QString& text) override;
    QString SaveFileName(QWidget* parent) override;
    QStringList OpenFileNames(QWidget* parent) override;
};
