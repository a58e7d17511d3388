#include "PtyEndpoint.h"
#include "Receiver.h"
#include "SimLoop.h"
#include "SimOptions.h"
#include "StateFile.h"
#include "TcpEndpoint.h"
#include "WireLog.h"

#include <sys/prctl.h>
#include <cstdio>

namespace {

int Fail(const QString& message) {
    std::fprintf(stderr, "ampdesk-receiver-sim: %s\n", message.toLocal8Bit().constData());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const ParsedOptions parsed = ParseOptions(arguments);
    if (parsed.outcome != ParsedOptions::Outcome::Run) {
        const bool error = parsed.outcome == ParsedOptions::Outcome::Error;
        std::fprintf(error ? stderr : stdout, "%s\n", parsed.message.toLocal8Bit().constData());
        return error ? 2 : 0;
    }
    const SimOptions& options = *parsed.options;
    // A UART sends each byte on time. The kernel's default slack would let
    // every pacing timer fire up to 50 us late, lengthening each answer.
    ::prctl(PR_SET_TIMERSLACK, 1UL);

    QString error;
    WireLog log;
    if (!log.Open(options.logPath, WireLog::Clock::now(), &error))
        return Fail(error);
    Receiver receiver(options.model);
    if (!options.statePath.isEmpty() && !LoadState(options.statePath, receiver, &error))
        return Fail(error);
    if (!options.tcpAddress.isEmpty()) {
        TcpEndpoint tcp;
        if (!tcp.Listen(options.tcpAddress, &error))
            return Fail(error);
        SimLoop loop(options, receiver, tcp, log);
        if (!loop.Prepare())
            return 1;
        std::printf("%s\n", tcp.Url().constData());
        std::fflush(stdout);
        return loop.Run();
    }

    PtyEndpoint pty;
    if (!pty.Open(&error))
        return Fail(error);
    SimLoop loop(options, receiver, pty, log);
    if (!loop.Prepare())
        return 1;
    if (!options.linkPath.isEmpty() && !pty.MakeLink(options.linkPath, &error))
        return Fail(error);

    std::printf("%s\n", pty.SlavePath().constData());
    std::fflush(stdout);

    const int status = loop.Run();
    pty.RemoveLink();
    return status;
}
