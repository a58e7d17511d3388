#include "SimOptions.h"

#include "TcpEndpoint.h"

#include <QCommandLineParser>
#include <QList>

#include <functional>

namespace {

struct NumberOption {
    const char* name;
    const char* help;
    int minimum;
    int maximum;
    int SimOptions::*field;
};

// Upper bounds keep deadlines far from overflow: a day of latency, 10 Mbaud.
constexpr NumberOption kNumberOptions[] = {
    {"baud", "Pace both directions like an N baud line (default 115200, 0 = no pacing).", 0,
     10'000'000, &SimOptions::baud},
    {"latency-ms", "Wait N ms before each answer.", 0, 86'400'000, &SimOptions::latencyMs},
    {"set-latency-ms",
     "Wait N ms before answering a set instead, as a unit that stores each setting before it "
     "answers.",
     0, 86'400'000, &SimOptions::setLatencyMs},
    {"front-panel-ms",
     "Change a random setting every N ms, as fast as the line can report it (answers go first).", 0,
     86'400'000, &SimOptions::frontPanelMs},
    {"think-ms", "Take N ms to handle each command, one after the other.", 0, 86'400'000,
     &SimOptions::thinkMs},
    {"input-buffer",
     "Keep at most N received bytes while a command is handled and answered; drop the rest, as "
     "a unit with a small input buffer (0 = no limit).",
     0, 1'000'000, &SimOptions::inputBuffer},
};

struct TextOption {
    const char* name;
    const char* valueName;
    const char* help;
    std::function<void(SimOptions&, const QString&)> apply;
};

const QList<TextOption> kTextOptions = {
    {"model", "NAME", "Model name reported for Main.Model? (default ZA11).",
     [](SimOptions& o, const QString& v) { o.model = v.toUtf8(); }},
    {"link", "PATH", "Keep a symbolic link PATH to the terminal while running.",
     [](SimOptions& o, const QString& v) { o.linkPath = v; }},
    {"tcp", "[HOST:]PORT",
     "Serve on TCP instead (host default 127.0.0.1, port 0 = any free one); one console at a "
     "time.",
     [](SimOptions& o, const QString& v) { o.tcpAddress = v; }},
    {"log", "FILE", "Record every received command and sent line.",
     [](SimOptions& o, const QString& v) { o.logPath = v; }},
    {"state", "FILE", "Load the settings at start, save them on change.",
     [](SimOptions& o, const QString& v) { o.statePath = v; }},
};

struct FlagOption {
    const char* name;
    const char* help;
    void (*apply)(SimOptions&);
};

constexpr FlagOption kFlagOptions[] = {
    {"silent", "Read but never answer (SIGUSR1 toggles).", [](SimOptions& o) { o.silent = true; }},
    {"no-leading-cr", "Send answers as text CR instead of CR text CR.",
     [](SimOptions& o) { o.leadingCr = false; }},
    {"lockstep-only", "Drop every command that arrives before the one before it is answered.",
     [](SimOptions& o) { o.lockstepOnly = true; }},
    {"junk-flood",
     "Send lines that are no setting as fast as the line takes them; answers go first.",
     [](SimOptions& o) { o.junkFlood = true; }},
};

QString HelpText(const QCommandLineParser& parser) {
    QString text = parser.helpText();
    text.replace(0, text.indexOf(QLatin1Char('\n')),
                 QStringLiteral("Usage: ampdesk-receiver-sim [options]"));
    return text;
}

ParsedOptions Fail(const QString& message) {
    return {ParsedOptions::Outcome::Error, std::nullopt, message};
}

}  // namespace

ParsedOptions ParseOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays a Velmar receiver at the end of a pseudo-terminal and prints the terminal's "
        "path;\nwith --tcp, behind a serial device server and prints tcp://host:port."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    for (const TextOption& text : kTextOptions) {
        parser.addOption(QCommandLineOption(QLatin1String(text.name), QLatin1String(text.help),
                                            QLatin1String(text.valueName)));
    }
    for (const NumberOption& number : kNumberOptions) {
        parser.addOption(QCommandLineOption(QLatin1String(number.name), QLatin1String(number.help),
                                            QStringLiteral("N")));
    }
    for (const FlagOption& flag : kFlagOptions)
        parser.addOption(QCommandLineOption(QLatin1String(flag.name), QLatin1String(flag.help)));

    if (!parser.parse(arguments))
        return Fail(parser.errorText() + QStringLiteral("\nsee ampdesk-receiver-sim --help"));
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all")))
        return {ParsedOptions::Outcome::Help, std::nullopt, HelpText(parser)};
    if (parser.isSet(version)) {
        return {ParsedOptions::Outcome::Version, std::nullopt,
                QStringLiteral("ampdesk-receiver-sim %1").arg(QStringLiteral(AMPDESK_VERSION))};
    }
    if (!parser.positionalArguments().isEmpty()) {
        return Fail(QStringLiteral("Unexpected argument \"%1\"\nsee ampdesk-receiver-sim --help")
                        .arg(parser.positionalArguments().constFirst()));
    }

    SimOptions options;
    for (const TextOption& text : kTextOptions) {
        const QString name = QLatin1String(text.name);
        if (parser.isSet(name))
            text.apply(options, parser.value(name));
    }
    for (const NumberOption& number : kNumberOptions) {
        const QString name = QLatin1String(number.name);
        if (!parser.isSet(name))
            continue;
        bool ok = false;
        const long long value = parser.value(name).toLongLong(&ok);
        if (!ok || value < number.minimum || value > number.maximum) {
            return Fail(QStringLiteral("--%1 takes a number from %2 to %3, not \"%4\"")
                            .arg(name)
                            .arg(number.minimum)
                            .arg(number.maximum)
                            .arg(parser.value(name)));
        }
        options.*number.field = static_cast<int>(value);
    }
    for (const FlagOption& flag : kFlagOptions) {
        if (parser.isSet(QLatin1String(flag.name)))
            flag.apply(options);
    }
    // A malformed address is a usage error like any other, told before anything starts.
    if (!options.tcpAddress.isEmpty() && !TcpEndpoint::IsListenAddress(options.tcpAddress))
        return Fail(TcpEndpoint::AddressError(options.tcpAddress));
    if (!options.tcpAddress.isEmpty() && !options.linkPath.isEmpty())
        return Fail(QStringLiteral("--link names a terminal; it does not go with --tcp"));
    // The model name goes on the wire inside one line.
    if (options.model.contains('\r') || options.model.contains('\n') || options.model.size() > 64)
        return Fail(QStringLiteral("--model takes a name of up to 64 characters"));
    return {ParsedOptions::Outcome::Run, options, {}};
}
