#include "HelpCommands.h"

#include "ManualPaths.h"
#include "Prompts.h"

#include <QDesktopServices>
#include <QTimer>
#include <QUrl>
#include <QWidget>

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

HelpCommands::HelpCommands(Prompts& prompts, QWidget* window, Hooks hooks, int ownMajor,
                           int ownMinor)
    : QObject(window),
      m_prompts(prompts),
      m_window(window),
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
            WhenIdle([this] {
                if (m_prompts.AskYesNo(m_window, kNewerQuestion))
                    OpenInBrowser(
                        UpgradeCheck::SiteUrl(m_checkedHost, UpgradeCheck::kDownloadPath));
            });
            break;
        case UpgradeCheck::Outcome::Current:
            WhenIdle([this] { m_prompts.ShowMessage(m_window, kMostRecent); });
            break;
        case UpgradeCheck::Outcome::NoVersion:
            WhenIdle([this] { m_prompts.ShowMessage(m_window, CannotFindMessage(m_checkedHost)); });
            break;
        case UpgradeCheck::Outcome::NoConnection:
            WhenIdle([this] { m_prompts.ShowMessage(m_window, kNoConnection); });
            break;
    }
}

void HelpCommands::ShowHelp(const QString& executableDir) {
    if (executableDir.isEmpty()) {
        WhenIdle([this] { m_prompts.ShowMessage(m_window, kInvalidPath); });
        return;
    }
    const QStringList candidates = ManualPaths::Candidates(executableDir);
    const QString manual = ManualPaths::Find(candidates);
    if (manual.isEmpty()) {
        WhenIdle([this, candidates] {
            m_prompts.ShowMessage(m_window, ManualMissingMessage(candidates));
        });
        return;
    }
    OpenInBrowser(QUrl::fromLocalFile(manual));
}

void HelpCommands::OpenInBrowser(const QUrl& url) {
    if (QDesktopServices::openUrl(url))
        return;
    const QString shown = url.isLocalFile() ? url.toLocalFile() : url.toString();
    WhenIdle([this, shown] { m_prompts.ShowMessage(m_window, BrowserFailedMessage(shown)); });
}

void HelpCommands::WhenIdle(std::function<void()> prompt) {
    // Posted, never shown from inside the signal or wait that brought the news.
    QTimer::singleShot(0, this, [this, prompt = std::move(prompt)]() mutable {
        if (m_hooks.mayPrompt && !m_hooks.mayPrompt()) {
            QTimer::singleShot(kPromptRetryMs, this, [this, prompt = std::move(prompt)]() mutable {
                WhenIdle(std::move(prompt));
            });
            return;
        }
        prompt();
    });
}
