#include "AutoConnect.h"
#include "ConsoleIdentity.h"
#include "MainDialog.h"
#include "Prompts.h"
#include "Screenshot.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

// The console with the developer aids of AutoConnect.h and Screenshot.h.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ApplyConsoleIdentity();

    DialogPrompts prompts;
    MainDialog dialog(prompts);

    int status = 0;
    const ScreenshotRequest screenshot = ScreenshotRequestFromEnvironment();
    if (screenshot.IsSet()) {
        QTimer::singleShot(0, &dialog, [&] {
            TakeConnectedScreenshot(dialog, screenshot).then([&](const QString& error) {
                if (!error.isEmpty()) {
                    std::fprintf(stderr, "ampdesk: screenshot: %s\n", qPrintable(error));
                    status = 1;
                }
                dialog.reject();
            });
        });
    }
    const QString autoConnectPort = AutoConnectPortFromEnvironment();
    if (!autoConnectPort.isEmpty() && !screenshot.IsSet())
        ScheduleAutoConnect(dialog, autoConnectPort);
    dialog.exec();
    return status;
}
