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

    const CliParse parsed = ParseCliArguments(app.arguments().mid(1));
    if (parsed.help) {
        std::fputs(CliUsage().toUtf8().constData(), stdout);
        return kExitOk;
    }
    if (parsed.version) {
        std::puts("ampdesk-cli " AMPDESK_VERSION);
        return kExitOk;
    }
    if (!parsed.options) {
        std::fprintf(stderr, "ampdesk-cli: %s\nTry \"ampdesk-cli --help\".\n",
                     PrintableMessage(parsed.error).toUtf8().constData());
        return kExitUsage;
    }

    // Drawn only for a person watching; a cron job's mail stays clean.
    std::unique_ptr<TerminalProgress> progress;
    if (::isatty(STDERR_FILENO))
        progress = std::make_unique<TerminalProgress>(stderr);
    const CliStreams streams{stdout, stderr, stdin, progress.get()};
    ReceiverSession session;
    const int status = QCoro::waitFor(RunCliCommand(*parsed.options, streams, session));
    std::fflush(stdout);
    return status;
}
