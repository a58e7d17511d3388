#include "MainDialog.h"
#include "ProgramIcon.h"
#include "Prompts.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Velmar"));
    QApplication::setApplicationName(QStringLiteral("Ampdesk"));
    QApplication::setWindowIcon(ProgramIcon());
    // Lets the desktop match the window to its entry and icon (Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("com.velmar.ampdesk"));

    DialogPrompts prompts;
    MainDialog dialog(prompts);
    dialog.exec();
    return 0;
}
