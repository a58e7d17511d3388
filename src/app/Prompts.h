#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
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

// Passes every question and message on to another Prompts and keeps count of
// the messages still open, so that a window about to close can first let the
// user read what it has just said (a stopped restore's report).
class TrackedPrompts : public Prompts {
public:
    explicit TrackedPrompts(Prompts& prompts);

    void AskYesNo(QWidget* parent, const QString& text,
                  std::function<void(bool yes)> answered) override;
    void ShowMessage(QWidget* parent, const QString& text, std::function<void()> closed) override;
    void SaveFileName(QWidget* parent, std::function<void(const QString& path)> chosen) override;
    void OpenFileNames(QWidget* parent, ChosenFiles chosen) override;

    // Runs `then` once no message shown through here is open: at once when
    // none is. A later call replaces an earlier one still waiting.
    void AfterMessagesClosed(std::function<void()> then);

private:
    struct OpenMessages {
        int count = 0;
        std::function<void()> then;
    };

    Prompts& m_prompts;
    // Shared with the callbacks of open boxes, which may outlive this object.
    std::shared_ptr<OpenMessages> m_open = std::make_shared<OpenMessages>();
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
