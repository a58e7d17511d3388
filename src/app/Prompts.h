#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

// Every question and message the main window puts to the user goes through
// here, so that a test can answer without a person. Each opens without
// waiting and answers through its callback once the user has closed it.
class Prompts {
public:
    virtual ~Prompts() = default;

    virtual void AskYesNo(QWidget* parent, const QString& text,
                          std::function<void(bool yes)> answered) = 0;
    virtual void ShowMessage(QWidget* parent, const QString& text,
                             std::function<void()> closed = {}) = 0;
    // The chosen path, or empty when the user cancelled.
    virtual void SaveFileName(QWidget* parent, std::function<void(const QString& path)> chosen) = 0;
    // The chosen paths in the dialog's order; nullopt when the user cancelled,
    // an empty list when the dialog confirmed without a file (it failed).
    using ChosenFiles = std::function<void(const std::optional<QStringList>& paths)>;
    virtual void OpenFileNames(QWidget* parent, ChosenFiles chosen) = 0;
};

// Real message boxes and file dialogs, each opened with open(): the window
// and the receiver's lines go on while one is shown.
class DialogPrompts : public Prompts {
public:
    static inline const QString kMessageTitle = QStringLiteral("Ampdesk");
    static inline const QString kSaveTitle = QStringLiteral("Save File");
    static inline const QString kOpenTitle = QStringLiteral("Open File");
    static inline const QString kDefaultSuffix = QStringLiteral("kvx");
    static QStringList FileFilters();

    void AskYesNo(QWidget* parent, const QString& text,
                  std::function<void(bool yes)> answered) override;
    void ShowMessage(QWidget* parent, const QString& text, std::function<void()> closed) override;
    void SaveFileName(QWidget* parent, std::function<void(const QString& path)> chosen) override;
    void OpenFileNames(QWidget* parent, ChosenFiles chosen) override;
    // What a box shows of a text: control bytes other than line breaks and
    // tabs (a receiver's value may hold an ESC) written visibly.
    static QString Shown(const QString& text);
};
