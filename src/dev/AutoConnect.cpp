#include "AutoConnect.h"

#include "MainDialog.h"
#include "ReceiverSession.h"

#include <QComboBox>
#include <QTimer>

#include <cstdio>

namespace {

void Report(const QString& text) {
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

}  // namespace

QString ConnectWithoutAsking(MainDialog& dialog, const QString& portName) {
    // Show the port as the user would have chosen it.
    QComboBox* ports = dialog.PortCombo();
    const int listed = ports->findText(portName, Qt::MatchFixedString);
    if (listed >= 0)
        ports->setCurrentIndex(listed);
    else
        ports->setEditText(portName);
    if (!dialog.Session().ConnectTo(portName)) {
        return QStringLiteral("could not connect on %1: %2").arg(portName, dialog.StatusText());
    }
    return {};
}

QString AutoConnectPortFromEnvironment() {
    return qEnvironmentVariable("AMPDESK_AUTOCONNECT");
}

void ScheduleAutoConnect(MainDialog& dialog, const QString& portName) {
    // Runs on the first pass of the event loop, right after the window is shown.
    QTimer::singleShot(0, &dialog, [&dialog, portName] {
        Report(QStringLiteral("shown"));
        QString error = ConnectWithoutAsking(dialog, portName);
        if (error.isEmpty() && !dialog.SelectTab(QStringLiteral("Control")))
            error = QStringLiteral("the window has no Control tab");
        Report(error.isEmpty() ? QStringLiteral("connected")
                               : QStringLiteral("not connected: ") + error);
    });
}
