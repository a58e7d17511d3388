#include "ConsoleIdentity.h"
#include "MainDialog.h"
#include "Prompts.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

namespace {

struct WindowOptions {
    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this text.")};
    QCommandLineOption version{QStringLiteral("version"), QStringLiteral("Show the version.")};

    WindowOptions() {
        parser.setApplicationDescription(
            QStringLiteral("The Velmar receiver console. It reads no further command line: the "
                           "port is chosen in the window.\nQt's own options (-platform, -style, "
                           "...) are taken too."));
        parser.addOption(help);
        parser.addOption(version);
    }
};

}  // namespace

int main(int argc, char* argv[]) {
    // --help and --version are answered before the application exists, so
    // they work without a display.
    {
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        WindowOptions options;
        options.parser.parse(arguments);
        if (options.parser.isSet(options.help)) {
            QString text = options.parser.helpText();
            text.replace(0, text.indexOf(QLatin1Char('\n')),
                         QStringLiteral("Usage: ampdesk [options]"));
            std::fputs(text.toUtf8().constData(), stdout);
            return 0;
        }
        if (options.parser.isSet(options.version)) {
            std::puts("ampdesk " AMPDESK_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    ApplyConsoleIdentity();
    // What is left once Qt has taken its own options must be ours.
    WindowOptions options;
    if (!options.parser.parse(app.arguments()) || !options.parser.positionalArguments().isEmpty()) {
        const QString error = options.parser.errorText().isEmpty()
                                  ? QStringLiteral("unexpected argument \"%1\"")
                                        .arg(options.parser.positionalArguments().constFirst())
                                  : options.parser.errorText();
        std::fprintf(stderr, "ampdesk: %s\nsee ampdesk --help\n", error.toUtf8().constData());
        return 2;
    }

    DialogPrompts prompts;
    MainDialog dialog(prompts);
    dialog.exec();
    return 0;
}
