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

QCoro::Task<> AutoConnect(MainDialog& dialog, QString portName) {
    Report(QStringLiteral("shown"));
    QString error = co_await ConnectWithoutAsking(dialog, portName);
    if (error.isEmpty() && !dialog.SelectTab(QStringLiteral("Control")))
        error = QStringLiteral("the window has no Control tab");
    Report(error.isEmpty() ? QStringLiteral("connected")
                           : QStringLiteral("not connected: ") + error);
}

}  // namespace

QCoro::Task<QString> ConnectWithoutAsking(MainDialog& dialog, QString portName) {
    // Show the port as the user would have chosen it.
    QComboBox* ports = dialog.PortCombo();
    const int listed = ports->findText(portName, Qt::MatchFixedString);
    if (listed >= 0)
        ports->setCurrentIndex(listed);
    else
        ports->setEditText(portName);
    if (!co_await dialog.Session().ConnectTo(portName))
        co_return QStringLiteral("could not connect on %1: %2").arg(portName, dialog.StatusText());
    co_return QString();
}

QString AutoConnectPortFromEnvironment() {
    return qEnvironmentVariable("AMPDESK_AUTOCONNECT");
}

void ScheduleAutoConnect(MainDialog& dialog, const QString& portName) {
    // Runs on the first pass of the event loop, right after the window is shown.
    QTimer::singleShot(0, &dialog, [&dialog, portName] { (void)AutoConnect(dialog, portName); });
}
