#include "CliOptions.h"

#include "CommandChannel.h"
#include "Windows1252.h"

#include <QCommandLineParser>
#include <QFile>
#include <QStringList>

namespace {

struct CommandRow {
    const char* name;
    CliCommand command;
    int minOperands;
    int maxOperands;  // -1: any number
    bool takesOnlyChanged;
    bool takesJson;
};

constexpr CommandRow kCommandTable[] = {
    {"backup", CliCommand::Backup, 1, 1, false, false},
    {"restore", CliCommand::Restore, 1, 1, true, false},
    {"diff", CliCommand::Diff, 1, 1, false, true},
    {"get", CliCommand::Get, 1, -1, false, true},
    {"set", CliCommand::Set, 1, -1, false, false},
    {"model", CliCommand::Model, 0, 0, false, false},
    {"snapshots", CliCommand::Snapshots, 0, 0, false, true},
};

struct OptionRow {
    const char* name;
    const char* valueName;  // nullptr: a flag
    const char* help;
};

constexpr OptionRow kOptionTable[] = {
    {"port", "PORT",
     "COM1..COM9, Auto-Detect, a device such as /dev/ttyUSB0, or tcp://host:port for a serial "
     "device server; default: the port last chosen in the window."},
    {"only-changed", nullptr,
     "With restore: read the receiver first and send only the lines that differ."},
    {"json", nullptr,
     "With get, diff and snapshots: print one JSON document (see ampdesk-cli(1))."},
    {"lockstep", nullptr,
     "Send one command at a time, for a receiver that cannot take the next while it answers."},
    {"version", nullptr, "Show the version."},
    {"help", nullptr, "Show this text."},
};

constexpr char kOperators[] = {'=', '?', '+', '-'};

const CommandRow* FindCommand(const QString& name) {
    for (const CommandRow& row : kCommandTable) {
        if (name == QLatin1String(row.name))
            return &row;
    }
    return nullptr;
}

bool IsPlainByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > ' ' && byte != 0x7F;
}

// A value goes on the wire inside one line: no CR, LF or NUL.
bool IsValidValue(const QByteArray& value) {
    return !value.contains('\r') && !value.contains('\n') && !value.contains('\0');
}

// The first character of `text` that Windows-1252 cannot carry, named so that
// a control character does not garble the message; empty when there is none.
QString FirstUnmappable(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        if (FromWindows1252(ToWindows1252(character)) == character)
            continue;
        const char32_t code = QStringView(character).toUcs4().value(0);
        const QString name =
            QStringLiteral("U+%1").arg(QString::number(code, 16).toUpper().rightJustified(4, '0'));
        return QChar::isPrint(code) ? QStringLiteral("\"%1\" (%2)").arg(character, name) : name;
    }
    return {};
}

// The operand as it is kept (see CliOptions::operands), or the problem.
QString CheckOperand(CliCommand command, const QString& operand, QByteArray* kept) {
    const bool toReceiver = command == CliCommand::Get || command == CliCommand::Set;
    if (!toReceiver) {
        *kept = QFile::encodeName(operand);
        return operand.isEmpty() ? QStringLiteral("an empty file name") : QString();
    }
    if (const QString unmappable = FirstUnmappable(operand); !unmappable.isEmpty()) {
        return QStringLiteral("\"%1\": the receiver cannot show the character %2")
            .arg(operand, unmappable);
    }
    *kept = ToWindows1252(operand);
    if (command == CliCommand::Get && !IsValidKey(*kept))
        return QStringLiteral("\"%1\" is not a setting key such as Main.Volume").arg(operand);
    const qsizetype equals = kept->indexOf('=');
    if (command == CliCommand::Set &&
        (equals < 0 || !IsValidKey(kept->left(equals)) || !IsValidValue(kept->mid(equals + 1)))) {
        return QStringLiteral("\"%1\" is not KEY=VALUE such as Main.Volume=-20").arg(operand);
    }
    return {};
}

CliParse Fail(const QString& error) {
    return {std::nullopt, false, false, error};
}

void AddOptions(QCommandLineParser& parser) {
    for (const OptionRow& row : kOptionTable) {
        parser.addOption(row.valueName == nullptr
                             ? QCommandLineOption(QLatin1String(row.name), QLatin1String(row.help))
                             : QCommandLineOption(QLatin1String(row.name), QLatin1String(row.help),
                                                  QLatin1String(row.valueName)));
    }
}

}  // namespace

bool IsValidKey(const QByteArray& key) {
    if (key.isEmpty() || key.size() > CommandChannel::kMaxKeyLength)
        return false;
    for (char c : key) {
        if (!IsPlainByte(c))
            return false;
        for (char op : kOperators) {
            if (c == op)
                return false;
        }
    }
    return true;
}

QString CliUsage() {
    QCommandLineParser parser;
    AddOptions(parser);
    const QString options = parser.helpText();
    return QStringLiteral(
               "Usage: ampdesk-cli [--port PORT] COMMAND [ARGUMENTS]\n"
               "Backs up, compares and restores a Velmar receiver, and reads or changes\n"
               "single settings, from a shell.\n"
               "\n"
               "Commands:\n"
               "  backup FILE.kvx            read every setting and write the settings file\n"
               "  restore FILE.kvx [--only-changed]\n"
               "                             write a settings file back and print the report\n"
               "  diff FILE.kvx              print \"key: file-value -> receiver-value\" for "
               "every\n"
               "                             setting that differs\n"
               "  get KEY...                 print the receiver's KEY=value lines\n"
               "  set KEY=VALUE...           change settings\n"
               "  model                      print the receiver's model\n"
               "  snapshots                  list the settings kept at each connection and\n"
               "                             backup, newest first and numbered; diff and\n"
               "                             restore take such a number instead of a file\n"
               "                             (write ./3 for a file named 3)\n"
               "A FILE of \"-\" is standard output for backup, standard input for diff\n"
               "and restore. Text is UTF-8 on the command line and in what is printed.\n"
               "\n") +
           options.mid(options.indexOf(QLatin1String("Options:"))) +
           QStringLiteral(
               "\n"
               "A progress bar is drawn on standard error when it is a terminal.\n"
               "Exit status: 0 ok, 1 differences or failed lines (or the file could not be\n"
               "saved), 2 usage or unreadable settings file, 3 cannot open the port,\n"
               "4 no receiver answered (or it was lost).\n");
}

CliParse ParseCliArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    AddOptions(parser);
    const bool parsed = parser.parse(QStringList{QStringLiteral("ampdesk-cli")} + arguments);
    // Help wins over any other mistake on the line.
    if (parser.isSet(QStringLiteral("help")))
        return {std::nullopt, true, false, {}};
    if (!parsed) {
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty())
            return Fail(parser.errorText());
        const QString& name = unknown.constFirst();
        return Fail(QStringLiteral("unknown option \"%1%2\"")
                        .arg(name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--"), name));
    }
    if (parser.isSet(QStringLiteral("version")))
        return {std::nullopt, false, true, {}};

    CliOptions options;
    options.onlyChanged = parser.isSet(QStringLiteral("only-changed"));
    options.json = parser.isSet(QStringLiteral("json"));
    options.lockstep = parser.isSet(QStringLiteral("lockstep"));
    if (parser.isSet(QStringLiteral("port"))) {
        options.port = parser.value(QStringLiteral("port"));
        if (options.port.isEmpty())
            return Fail(QStringLiteral("--port needs a port name"));
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return Fail(QStringLiteral("no command given"));
    const CommandRow* command = FindCommand(positional.constFirst());
    if (command == nullptr)
        return Fail(QStringLiteral("unknown command \"%1\"").arg(positional.constFirst()));
    options.command = command->command;
    const QString name = QLatin1String(command->name);
    for (const QString& operand : positional.mid(1)) {
        QByteArray kept;
        if (const QString problem = CheckOperand(command->command, operand, &kept);
            !problem.isEmpty())
            return Fail(QStringLiteral("%1: %2").arg(name, problem));
        options.operands << kept;
    }

    if (options.operands.size() < command->minOperands)
        return Fail(QStringLiteral("%1 needs %2")
                        .arg(name, command->maxOperands == 1 ? QStringLiteral("a file")
                                                             : QStringLiteral("an argument")));
    if (command->maxOperands >= 0 && options.operands.size() > command->maxOperands)
        return Fail(QStringLiteral("%1 takes %2")
                        .arg(name, command->maxOperands == 0 ? QStringLiteral("no arguments")
                                                             : QStringLiteral("one file")));
    if (options.onlyChanged && !command->takesOnlyChanged)
        return Fail(QStringLiteral("--only-changed goes with restore only"));
    if (options.json && !command->takesJson)
        return Fail(QStringLiteral("--json goes with get, diff and snapshots only"));
    return {options, false, false, {}};
}
QString PrintableMessage(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        const qsizetype cut = line.size() > kMaxMessageLine ? line.size() - kMaxMessageLine : 0;
        QString shown;
        for (const QChar c : QStringView(line).first(line.size() - cut)) {
            const char16_t code = c.unicode();
            if (code == u'\r')
                shown += QStringLiteral("\\r");
            else if (code == u'\t')
                shown += QStringLiteral("\\t");
            else if (code < 0x20 || (code >= 0x7f && code < 0xa0))
                shown += QStringLiteral("\\x%1").arg(int(code), 2, 16, QLatin1Char('0'));
            else
                shown += c;
        }
        if (cut > 0)
            shown += QStringLiteral("... (%1 more characters)").arg(cut);
        line = shown;
    }
    return lines.join(QLatin1Char('\n'));
}
