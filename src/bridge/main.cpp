#include "BridgeOptions.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const BridgeParse parse =
        ParseBridgeArguments(app.arguments().mid(1), QProcessEnvironment::systemEnvironment());
    if (parse.help) {
        std::fputs(BridgeUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!parse.options) {
        std::fprintf(stderr, "ampdesk-bridge: %s\n%s", parse.error.toLocal8Bit().constData(),
                     BridgeUsage().toLocal8Bit().constData());
        return 2;
    }
    return 0;
}
