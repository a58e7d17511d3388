#include "CliCommands.h"
#include "CliOptions.h"
#include "ReceiverSession.h"
#include "TerminalProgress.h"

#include <QCoreApplication>

#include <unistd.h>

#include <cstdio>
#include <memory>

int main(int argc, char* argv[]) {
    // Commands complete in the event loop, run by the one wait below.
    QCoreApplication app(argc, argv);

    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QByteArray(argv[i]);
    const CliParse parsed = ParseCliArguments(arguments);
    if (parsed.help) {
        std::fputs(CliUsage().toLocal8Bit().constData(), stdout);
        return kExitOk;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "ampdesk-cli: %s\nTry \"ampdesk-cli --help\".\n",
                     PrintableMessage(parsed.error).toLocal8Bit().constData());
        return kExitUsage;
    }

    // Drawn only for a person watching; a cron job's mail stays clean.
    std::unique_ptr<TerminalProgress> progress;
    if (::isatty(STDERR_FILENO))
        progress = std::make_unique<TerminalProgress>(stderr);
    const CliStreams streams{stdout, stderr, progress.get()};
    ReceiverSession session;
    const int status = QCoro::waitFor(RunCliCommand(*parsed.options, streams, session));
    std::fflush(stdout);
    return status;
}
