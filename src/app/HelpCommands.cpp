#include "HelpCommands.h"

#include "ManualPaths.h"
#include "PostedMessages.h"
#include "UpgradeModule.h"

#include <QDesktopServices>
#include <QUrl>

QString HelpCommands::CannotFindMessage(const QString& site) {
    return QStringLiteral("Cannot find latest version.  Check ") + site +
           QStringLiteral(" for the latest version.");
}

QString HelpCommands::ManualMissingMessage(const QStringList& lookedAt) {
    return QStringLiteral("Help not available: the manual was not found. Looked for:\n") +
           lookedAt.join(QLatin1Char('\n'));
}

QString HelpCommands::BrowserFailedMessage(const QString& target) {
    return QStringLiteral("Could not open %1 in a web browser.").arg(target);
}

HelpCommands::HelpCommands(PostedMessages& messages, QObject* parent, Hooks hooks, int ownMajor,
                           int ownMinor)
    : QObject(parent),
      m_messages(messages),
      m_hooks(std::move(hooks)),
      m_ownMajor(ownMajor),
      m_ownMinor(ownMinor) {}

QString HelpCommands::ModuleMissingMessage(const QString& reason) {
    return QStringLiteral("Cannot check for a newer version: the upgrade module did not load.\n") +
           reason;
}

void HelpCommands::SetCheckTimeoutMs(int milliseconds) {
    m_checkTimeoutMs = milliseconds;
    if (m_check)
        m_check->SetTimeoutMs(milliseconds);
}

UpgradeChecker* HelpCommands::Checker() {
    if (m_check)
        return m_check.get();
    QString error;
    const QString folder = m_hooks.executableDir ? m_hooks.executableDir() : QString();
    m_check = UpgradeModule::Create(
        folder, m_ownMajor, m_ownMinor,
        [this](UpgradeChecker::Outcome outcome) { OnCheckFinished(outcome); }, &error);
    if (!m_check) {
        m_messages.Post(ModuleMissingMessage(error));
        return nullptr;
    }
    m_check->SetTimeoutMs(m_checkTimeoutMs);
    return m_check.get();
}

void HelpCommands::CheckForUpgrade() {
    // A second request while one runs is answered by the first.
    UpgradeChecker* check = Checker();
    if (check == nullptr || check->IsRunning())
        return;
    m_checkedHost = m_hooks.upgradeHost();
    check->Start(m_checkedHost);
}

void HelpCommands::OnCheckFinished(UpgradeChecker::Outcome outcome) {
    switch (outcome) {
        case UpgradeChecker::Outcome::Newer:
            m_messages.Ask(kNewerQuestion, [this](bool yes) {
                if (yes)
                    OpenInBrowser(
                        UpgradeChecker::SiteUrl(m_checkedHost, UpgradeChecker::kDownloadPath));
            });
            break;
        case UpgradeChecker::Outcome::Current:
            m_messages.Post(kMostRecent);
            break;
        case UpgradeChecker::Outcome::NoVersion:
            m_messages.Post(CannotFindMessage(m_checkedHost));
            break;
        case UpgradeChecker::Outcome::NoConnection:
            m_messages.Post(kNoConnection);
            break;
    }
}

void HelpCommands::ShowHelp(const QString& executableDir) {
    if (executableDir.isEmpty()) {
        m_messages.Post(kInvalidPath);
        return;
    }
    const QStringList candidates = ManualPaths::Candidates(executableDir);
    const QString manual = ManualPaths::Find(candidates);
    if (manual.isEmpty()) {
        m_messages.Post(ManualMissingMessage(candidates));
        return;
    }
    OpenInBrowser(QUrl::fromLocalFile(manual));
}

void HelpCommands::OpenInBrowser(const QUrl& url) {
    if (QDesktopServices::openUrl(url))
        return;
    const QString shown = url.isLocalFile() ? url.toLocalFile() : url.toString();
    m_messages.Post(BrowserFailedMessage(shown));
}
