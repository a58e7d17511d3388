#include "Screenshot.h"

#include "AutoConnect.h"
#include "MainDialog.h"
#include "TerminalCtrl.h"
#include "TerminalPage.h"
#include "TunerScreenshot.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPixmap>
#include <QTimer>

namespace {

// The exchange the terminal picture shows.
const char* const kTerminalCommands[] = {"Main.Model?", "Main.Volume?", "Main.Source?"};
constexpr int kAnswerWaitMs = 2000;

// Runs the event loop until the terminal shows a line beginning with the
// prefix, or the time is up.
bool WaitForRow(TerminalCtrl* terminal, const QString& prefix) {
    const auto shown = [&] {
        for (const QString& row : terminal->toPlainText().split(QLatin1Char('\n'))) {
            if (row.startsWith(prefix))
                return true;
        }
        return false;
    };
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(terminal, &QPlainTextEdit::textChanged, &loop, [&] {
        if (shown())
            loop.quit();
    });
    deadline.start(kAnswerWaitMs);
    if (!shown())
        loop.exec();
    return shown();
}

// Opens the Terminal tab and types the commands, each after the last answer.
QString RunTerminalExchange(MainDialog& dialog) {
    // The receiver answers in order: once this is answered, the burst of tuner
    // lines that followed connecting is through and will not cut into the picture.
    dialog.Channel().Query(QByteArrayLiteral("Main.Source"));
    dialog.OnToggleTerminal(true);
    dialog.SelectTab(TerminalPage::kTitle);
    TerminalCtrl* terminal = dialog.GetTerminalPage()->Control();
    for (const char* command : kTerminalCommands) {
        const QString text = QString::fromLatin1(command);
        terminal->TypeText(text);
        terminal->PressEnter();
        const QString answer = text.chopped(1) + QLatin1Char('=');
        if (!WaitForRow(terminal, answer))
            return QStringLiteral("no answer to %1 in the terminal").arg(text);
    }
    return {};
}

}  // namespace

ScreenshotRequest ScreenshotRequestFromEnvironment() {
    return ScreenshotRequest{qEnvironmentVariable("AMPDESK_SCREENSHOT"),
                             qEnvironmentVariable("AMPDESK_SCREENSHOT_PORT"),
                             qEnvironmentVariable("AMPDESK_SCREENSHOT_TAB"),
                             qEnvironmentVariable("AMPDESK_SCREENSHOT_EDITOR")};
}

QString TakeConnectedScreenshot(MainDialog& dialog, const ScreenshotRequest& request) {
    const QString tab = request.tabTitle.isEmpty() ? QStringLiteral("Control") : request.tabTitle;
    const QString error = ConnectWithoutAsking(dialog, request.portName);
    if (!error.isEmpty())
        return error;
    if (tab == TerminalPage::kTitle) {
        const QString exchangeError = RunTerminalExchange(dialog);
        if (!exchangeError.isEmpty())
            return exchangeError;
    }
    if (!dialog.SelectTab(tab))
        return QStringLiteral("the window has no tab \"%1\"").arg(tab);
    // A tab shown for the first time is laid out by posted events: let them
    // run, or the picture shows the page's first, provisional layout.
    for (int round = 0; round < 5; ++round)
        QCoreApplication::processEvents();
    if (tab == kTunerScreenshotTab)
        ShowTunerAsSource(dialog);
    const QPixmap picture = dialog.grab();
    if (picture.isNull() || !picture.save(request.pngPath, "PNG")) {
        return QStringLiteral("could not write %1").arg(request.pngPath);
    }
    if (tab == kTunerScreenshotTab && !request.editorPngPath.isEmpty())
        return TakePresetEditorPicture(dialog, request.editorPngPath);
    return {};
}
