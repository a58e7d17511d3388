#include "HelpCommands.h"

#include "ManualPaths.h"
#include "PostedMessages.h"

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

void HelpCommands::SetCheckTimeoutMs(int milliseconds) {
    m_checkTimeoutMs = milliseconds;
    if (m_check)
        m_check->SetTimeoutMs(milliseconds);
}

void HelpCommands::CheckForUpgrade() {
    if (!m_check) {
        m_check = std::make_unique<UpgradeCheck>(m_ownMajor, m_ownMinor);
        m_check->SetTimeoutMs(m_checkTimeoutMs);
        connect(m_check.get(), &UpgradeCheck::Finished, this, &HelpCommands::OnCheckFinished);
    }
    // A second request while one runs is answered by the first.
    if (m_check->IsRunning())
        return;
    m_checkedHost = m_hooks.upgradeHost();
    m_check->Start(m_checkedHost);
}

void HelpCommands::OnCheckFinished(UpgradeCheck::Outcome outcome) {
    switch (outcome) {
        case UpgradeCheck::Outcome::Newer:
            m_messages.Ask(kNewerQuestion, [this](bool yes) {
                if (yes)
                    OpenInBrowser(
                        UpgradeCheck::SiteUrl(m_checkedHost, UpgradeCheck::kDownloadPath));
            });
            break;
        case UpgradeCheck::Outcome::Current:
            m_messages.Post(kMostRecent);
            break;
        case UpgradeCheck::Outcome::NoVersion:
            m_messages.Post(CannotFindMessage(m_checkedHost));
            break;
        case UpgradeCheck::Outcome::NoConnection:
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
