#pragma once

#include "UpgradeCheck.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class Prompts;
class QWidget;

// The Help menu's services: the manual in the user's web browser, and the
// check for a newer version, which runs while the window goes on working.
// Messages wait until no receiver request or transfer is under way, so that a
// message box never holds up a wait below it.
class HelpCommands : public QObject {
    Q_OBJECT

public:
    static inline const QString kNewerQuestion = QStringLiteral(
        "There is a newer software version available.  Would you like to download it now?");
    static inline const QString kMostRecent =
        QStringLiteral("Software is the most recent version.");
    static inline const QString kNoConnection =
        QStringLiteral("Cannot open internet connection to check for latest version");
    static inline const QString kInvalidPath = QStringLiteral("Invalid path.  Help not available.");
    static constexpr int kPromptRetryMs = 100;

    static QString CannotFindMessage(const QString& site);
    static QString ManualMissingMessage(const QStringList& lookedAt);
    static QString BrowserFailedMessage(const QString& target);

    struct Hooks {
        std::function<bool()> mayPrompt;  // false while a request or transfer runs
        std::function<QString()> upgradeHost;
    };

    HelpCommands(Prompts& prompts, QWidget* window, Hooks hooks, int ownMajor, int ownMinor);

    void CheckForUpgrade();
    // Opens the manual of the program in the given folder; an empty folder
    // means the program's own path is unknown.
    void ShowHelp(const QString& executableDir);
    bool IsCheckRunning() const { return m_check && m_check->IsRunning(); }
    // For checks from now on (tests wait less for a silent server).
    void SetCheckTimeoutMs(int milliseconds);

private:
    void OnCheckFinished(UpgradeCheck::Outcome outcome);
    // Runs the prompt once no request or transfer is under way.
    void WhenIdle(std::function<void()> prompt);
    void OpenInBrowser(const QUrl& url);

    Prompts& m_prompts;
    QWidget* m_window;
    Hooks m_hooks;
    int m_ownMajor;
    int m_ownMinor;
    int m_checkTimeoutMs = UpgradeCheck::kTimeoutMs;
    // Made on the first check: the network machinery costs nothing until then.
    std::unique_ptr<UpgradeCheck> m_check;
    QString m_checkedHost;
};
