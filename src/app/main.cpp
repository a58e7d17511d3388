#include "ConsoleIdentity.h"
#include "MainDialog.h"
#include "Prompts.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ApplyConsoleIdentity();

    DialogPrompts prompts;
    MainDialog dialog(prompts);
    dialog.exec();
    return 0;
}
