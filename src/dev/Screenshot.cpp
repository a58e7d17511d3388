#include "Screenshot.h"

#include "AutoConnect.h"
#include "CompareScreenshot.h"
#include "Completion.h"
#include "Delay.h"
#include "MainDialog.h"
#include "TerminalCtrl.h"
#include "TerminalPage.h"
#include "TunerScreenshot.h"

#include <QPixmap>

namespace {

// The exchange the terminal picture shows.
const char* const kTerminalCommands[] = {"Main.Model?", "Main.Volume?", "Main.Source?"};
constexpr int kAnswerWaitMs = 2000;
constexpr int kLayoutMs = 50;

constexpr int kPollMs = 20;

bool ShowsRow(TerminalCtrl* terminal, const QString& prefix) {
    for (const QString& row : terminal->toPlainText().split(QLatin1Char('\n'))) {
        if (row.startsWith(prefix))
            return true;
    }
    return false;
}

// Until the terminal shows a line beginning with the prefix, or the time is up.
QCoro::Task<bool> WaitForRow(MainDialog& dialog, TerminalCtrl* terminal, QString prefix) {
    for (int waited = 0; waited < kAnswerWaitMs && !ShowsRow(terminal, prefix); waited += kPollMs)
        co_await Delay(&dialog, kPollMs);
    co_return ShowsRow(terminal, prefix);
}

// Opens the Terminal tab and types the commands, each after the last answer.
QCoro::Task<QString> RunTerminalExchange(MainDialog& dialog) {
    // The receiver answers in order: once this is answered, the burst of tuner
    // lines that followed connecting is through and will not cut into the picture.
    co_await dialog.Session().Ask(CommandChannel::Kind::Query, QByteArrayLiteral("Main.Source?"));
    dialog.OnToggleTerminal(true);
    dialog.SelectTab(TerminalPage::kTitle);
    TerminalCtrl* terminal = dialog.GetTerminalPage()->Control();
    for (const char* command : kTerminalCommands) {
        const QString text = QString::fromLatin1(command);
        terminal->TypeText(text);
        terminal->PressEnter();
        const QString answer = text.chopped(1) + QLatin1Char('=');
        if (!co_await WaitForRow(dialog, terminal, answer))
            co_return QStringLiteral("no answer to %1 in the terminal").arg(text);
    }
    co_return QString();
}

}  // namespace

ScreenshotRequest ScreenshotRequestFromEnvironment() {
    return ScreenshotRequest{qEnvironmentVariable("AMPDESK_SCREENSHOT"),
                             qEnvironmentVariable("AMPDESK_SCREENSHOT_PORT"),
                             qEnvironmentVariable("AMPDESK_SCREENSHOT_TAB"),
                             qEnvironmentVariable("AMPDESK_SCREENSHOT_EDITOR")};
}

QCoro::Task<QString> TakeConnectedScreenshot(MainDialog& dialog, ScreenshotRequest request) {
    const QString tab = request.tabTitle.isEmpty() ? QStringLiteral("Control") : request.tabTitle;
    const QString error = co_await ConnectWithoutAsking(dialog, request.portName);
    if (!error.isEmpty())
        co_return error;
    if (tab == kCompareScreenshotTab)
        co_return co_await TakeComparePicture(dialog, request.pngPath);
    if (tab == TerminalPage::kTitle) {
        const QString exchangeError = co_await RunTerminalExchange(dialog);
        if (!exchangeError.isEmpty())
            co_return exchangeError;
    }
    if (!dialog.SelectTab(tab))
        co_return QStringLiteral("the window has no tab \"%1\"").arg(tab);
    // A tab shown for the first time is laid out by posted events: let them
    // run, or the picture shows the page's first, provisional layout.
    co_await Delay(&dialog, kLayoutMs);
    if (tab == kTunerScreenshotTab)
        co_await ShowTunerAsSource(dialog);
    const QPixmap picture = dialog.grab();
    if (picture.isNull() || !picture.save(request.pngPath, "PNG"))
        co_return QStringLiteral("could not write %1").arg(request.pngPath);
    if (tab == kTunerScreenshotTab && !request.editorPngPath.isEmpty())
        co_return co_await TakePresetEditorPicture(dialog, request.editorPngPath);
    co_return QString();
}
