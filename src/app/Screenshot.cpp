#include "Screenshot.h"

#include "Connection.h"
#include "MainDialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPixmap>

ScreenshotRequest ScreenshotRequestFromEnvironment() {
    return ScreenshotRequest{qEnvironmentVariable("AMPDESK_SCREENSHOT"),
                             qEnvironmentVariable("AMPDESK_SCREENSHOT_PORT"),
                             qEnvironmentVariable("AMPDESK_SCREENSHOT_TAB")};
}

QString TakeConnectedScreenshot(MainDialog& dialog, const ScreenshotRequest& request) {
    // Show the port as the user would have chosen it.
    QComboBox* ports = dialog.PortCombo();
    const int listed = ports->findText(request.portName, Qt::MatchFixedString);
    if (listed >= 0)
        ports->setCurrentIndex(listed);
    else
        ports->setEditText(request.portName);
    if (!dialog.GetConnection().ConnectTo(request.portName)) {
        return QStringLiteral("could not connect on %1: %2")
            .arg(request.portName, dialog.StatusText());
    }
    const QString tab = request.tabTitle.isEmpty() ? QStringLiteral("Control") : request.tabTitle;
    if (!dialog.SelectTab(tab))
        return QStringLiteral("the window has no tab \"%1\"").arg(tab);
    // A tab shown for the first time is laid out by posted events: let them
    // run, or the picture shows the page's first, provisional layout.
    for (int round = 0; round < 5; ++round)
        QCoreApplication::processEvents();
    const QPixmap picture = dialog.grab();
    if (picture.isNull() || !picture.save(request.pngPath, "PNG")) {
        return QStringLiteral("could not write %1").arg(request.pngPath);
    }
    return {};
}
