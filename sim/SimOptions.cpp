#include "SimOptions.h"

#include "TcpEndpoint.h"

#include <QList>

#include <functional>

namespace {

struct NumberOption {
    const char* name;
    int minimum;
    int maximum;
    int SimOptions::*field;
};

// Upper bounds keep deadlines far from overflow: a day of latency, 10 Mbaud.
constexpr NumberOption kNumberOptions[] = {
    {"--latency-ms", 0, 86'400'000, &SimOptions::latencyMs},
    {"--set-latency-ms", 0, 86'400'000, &SimOptions::setLatencyMs},
    {"--baud", 0, 10'000'000, &SimOptions::baud},
    {"--front-panel-ms", 0, 86'400'000, &SimOptions::frontPanelMs},
};

struct TextOption {
    const char* name;
    std::function<void(SimOptions&, const QByteArray&)> apply;
};

const QList<TextOption> kTextOptions = {
    {"--model", [](SimOptions& o, const QByteArray& v) { o.model = v; }},
    {"--link", [](SimOptions& o, const QByteArray& v) { o.linkPath = QString::fromLocal8Bit(v); }},
    {"--log", [](SimOptions& o, const QByteArray& v) { o.logPath = QString::fromLocal8Bit(v); }},
    {"--state",
     [](SimOptions& o, const QByteArray& v) { o.statePath = QString::fromLocal8Bit(v); }},
    {"--tcp", [](SimOptions& o, const QByteArray& v) { o.tcpAddress = QString::fromLocal8Bit(v); }},
};

}  // namespace

QString UsageText() {
    return QStringLiteral(
        "Usage: ampdesk-receiver-sim [options]\n"
        "Plays a Velmar receiver at the end of a pseudo-terminal and prints the\n"
        "terminal's path; with --tcp, behind a serial device server and prints\n"
        "tcp://host:port.\n"
        "  --model NAME          model name reported for Main.Model? (default ZA11)\n"
        "  --link PATH           keep a symbolic link PATH to the terminal while running\n"
        "  --tcp [HOST:]PORT     serve on TCP instead (host default 127.0.0.1, port 0\n"
        "                        = any free one); one console at a time\n"
        "  --log FILE            record every received command and sent line\n"
        "  --state FILE          load the settings at start, save them on change\n"
        "  --baud N              pace both directions like an N baud line (default\n"
        "                        115200, 0 = no pacing)\n"
        "  --latency-ms N        wait N ms before each answer\n"
        "  --set-latency-ms N    wait N ms before answering a set instead, as a unit\n"
        "                        that stores each setting before it answers\n"
        "  --front-panel-ms N    change a random setting every N ms, as fast as the\n"
        "                        line can report it (answers go first)\n"
        "  --silent              read but never answer (SIGUSR1 toggles)\n"
        "  --no-leading-cr       send answers as text CR instead of CR text CR\n");
}

ParsedOptions ParseOptions(int argc, const char* const* argv) {
    SimOptions options;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--help" || arg == "-h")
            return {std::nullopt, UsageText()};
        if (arg == "--silent") {
            options.silent = true;
            continue;
        }
        if (arg == "--no-leading-cr") {
            options.leadingCr = false;
            continue;
        }
        bool known = false;
        for (const NumberOption& number : kNumberOptions) {
            if (arg != number.name)
                continue;
            known = true;
            if (i + 1 >= argc)
                return {std::nullopt, QStringLiteral("%1 needs a number").arg(arg)};
            bool ok = false;
            const long long value = QByteArray(argv[++i]).toLongLong(&ok);
            if (!ok || value < number.minimum || value > number.maximum) {
                return {std::nullopt, QStringLiteral("%1 takes a number from %2 to %3, not \"%4\"")
                                          .arg(arg)
                                          .arg(number.minimum)
                                          .arg(number.maximum)
                                          .arg(QString::fromLocal8Bit(argv[i]))};
            }
            options.*number.field = static_cast<int>(value);
        }
        for (const TextOption& text : kTextOptions) {
            if (known || arg != text.name)
                continue;
            known = true;
            if (i + 1 >= argc)
                return {std::nullopt, QStringLiteral("%1 needs a value").arg(arg)};
            text.apply(options, QByteArray(argv[++i]));
        }
        if (!known) {
            return {std::nullopt, QStringLiteral("Unknown option \"%1\"\n").arg(arg) + UsageText()};
        }
    }
    // A malformed address is a usage error like any other, told before anything starts.
    if (!options.tcpAddress.isEmpty() && !TcpEndpoint::IsListenAddress(options.tcpAddress))
        return {std::nullopt, TcpEndpoint::AddressError(options.tcpAddress)};
    if (!options.tcpAddress.isEmpty() && !options.linkPath.isEmpty())
        return {std::nullopt, QStringLiteral("--link names a terminal; it does not go with --tcp")};
    // The model name goes on the wire inside one line.
    if (options.model.contains('\r') || options.model.contains('\n') || options.model.size() > 64)
        return {std::nullopt, QStringLiteral("--model takes a name of up to 64 characters")};
    return {options, {}};
}
