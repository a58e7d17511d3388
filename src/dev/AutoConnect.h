#pragma once

#include <QString>

#include <qcoro/qcorotask.h>

class MainDialog;

// Connects to the port as if the user had chosen it and pressed Connect, but
// without the warning. An empty text on success, else what went wrong.
QCoro::Task<QString> ConnectWithoutAsking(MainDialog& dialog, QString portName);

// A developer's aid for measuring the running console (scripts/bench): with
// AMPDESK_AUTOCONNECT=<port> in the environment the program prints "shown" on
// standard output once its window is up, connects without asking, shows the
// Control tab, prints "connected" (or "not connected: <why>") and runs on.
QString AutoConnectPortFromEnvironment();
void ScheduleAutoConnect(MainDialog& dialog, const QString& portName);
