#include "ConsoleIdentity.h"

#include "ProgramIcon.h"

#include <QApplication>

void ApplyConsoleIdentity() {
    QApplication::setOrganizationName(QStringLiteral("Velmar"));
    QApplication::setApplicationName(QStringLiteral("Ampdesk"));
    QApplication::setWindowIcon(ProgramIcon());
    // Lets the desktop match the window to its entry and icon (Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.velmar.ampdesk"));
}
