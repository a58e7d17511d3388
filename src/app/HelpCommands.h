#pragma once

#include "UpgradeCheck.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class PostedMessages;

// The Help menu's services: the manual in the user's web browser, and the
// check for a newer version, which runs while the window goes on working.
// Messages and the download question are posted, so that a box never holds up
// a receiver request or transfer below it.
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

    static QString CannotFindMessage(const QString& site);
    static QString ManualMissingMessage(const QStringList& lookedAt);
    static QString BrowserFailedMessage(const QString& target);

    struct Hooks {
        std::function<QString()> upgradeHost;
    };

    HelpCommands(PostedMessages& messages, QObject* parent, Hooks hooks, int ownMajor,
                 int ownMinor);

    void CheckForUpgrade();
    // Opens the manual of the program in the given folder; an empty folder
    // means the program's own path is unknown.
    void ShowHelp(const QString& executableDir);
    bool IsCheckRunning() const { return m_check && m_check->IsRunning(); }
    // For checks from now on (tests wait less for a silent server).
    void SetCheckTimeoutMs(int milliseconds);

private:
    void OnCheckFinished(UpgradeCheck::Outcome outcome);
    void OpenInBrowser(const QUrl& url);

    PostedMessages& m_messages;
    Hooks m_hooks;
    int m_ownMajor;
    int m_ownMinor;
    int m_checkTimeoutMs = UpgradeCheck::kTimeoutMs;
    // Made on the first check: the network machinery costs nothing until then.
    std::unique_ptr<UpgradeCheck> m_check;
    QString m_checkedHost;
};
