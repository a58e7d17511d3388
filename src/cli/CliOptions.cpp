#include "CliOptions.h"

#include "CommandChannel.h"

#include <QFile>
#include <QStringList>

namespace {

struct CommandRow {
    const char* name;
    CliCommand command;
    int minOperands;
    int maxOperands;  // -1: any number
    bool takesOnlyChanged;
};

constexpr CommandRow kCommandTable[] = {
    {"backup", CliCommand::Backup, 1, 1, false},
    {"restore", CliCommand::Restore, 1, 1, true},
    {"diff", CliCommand::Diff, 1, 1, false},
    {"get", CliCommand::Get, 1, -1, false},
    {"set", CliCommand::Set, 1, -1, false},
    {"model", CliCommand::Model, 0, 0, false},
    {"snapshots", CliCommand::Snapshots, 0, 0, false},
};

constexpr char kOperators[] = {'=', '?', '+', '-'};

const CommandRow* FindCommand(const QByteArray& name) {
    for (const CommandRow& row : kCommandTable) {
        if (name == row.name)
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

QString CheckOperand(CliCommand command, const QByteArray& bytes) {
    const QString operand = QString::fromLocal8Bit(bytes);
    if (command == CliCommand::Get && !IsValidKey(bytes))
        return QStringLiteral("\"%1\" is not a setting key such as Main.Volume").arg(operand);
    if (command == CliCommand::Set) {
        const qsizetype equals = bytes.indexOf('=');
        if (equals < 0 || !IsValidKey(bytes.left(equals)) || !IsValidValue(bytes.mid(equals + 1))) {
            return QStringLiteral("\"%1\" is not KEY=VALUE such as Main.Volume=-20").arg(operand);
        }
    }
    if (bytes.isEmpty())
        return QStringLiteral("an empty file name");
    return {};
}

CliParse Fail(const QString& error) {
    return {std::nullopt, false, error};
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
    return QStringLiteral(
        "Usage: ampdesk-cli [--port PORT] COMMAND [ARGUMENTS]\n"
        "Backs up, compares and restores a Velmar receiver, and reads or changes\n"
        "single settings, from a shell.\n"
        "\n"
        "Commands:\n"
        "  backup FILE.kvx            read every setting and write the settings file\n"
        "  restore FILE.kvx [--only-changed]\n"
        "                             write a settings file back and print the report;\n"
        "                             --only-changed reads the receiver first and sends\n"
        "                             only the lines that differ\n"
        "  diff FILE.kvx              print \"key: file-value -> receiver-value\" for every\n"
        "                             setting that differs\n"
        "  get KEY...                 print the receiver's KEY=value lines\n"
        "  set KEY=VALUE...           change settings\n"
        "  model                      print the receiver's model\n"
        "  snapshots                  list the settings kept at each connection and\n"
        "                             backup, newest first and numbered; diff and\n"
        "                             restore take such a number instead of a file\n"
        "                             (write ./3 for a file named 3)\n"
        "\n"
        "Options:\n"
        "  --port PORT   COM1..COM9, Auto-Detect, a device such as /dev/ttyUSB0, or\n"
        "                tcp://host:port for a serial device server; default: the\n"
        "                port last chosen in the window\n"
        "  --help        show this text\n"
        "\n"
        "A progress bar is drawn on standard error when it is a terminal.\n"
        "Exit status: 0 ok, 1 differences or failed lines (or the file could not be\n"
        "saved), 2 usage or unreadable settings file, 3 cannot open the port,\n"
        "4 no receiver answered (or it was lost).\n");
}

CliParse ParseCliArguments(const QList<QByteArray>& arguments) {
    for (const QByteArray& argument : arguments) {
        if (argument == "--")
            break;
        if (argument == "--help" || argument == "-h")
            return {std::nullopt, true, {}};
    }
    CliOptions options;
    const CommandRow* command = nullptr;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QByteArray& argument = arguments[i];
        if (!optionsEnded && argument.startsWith('-') && argument.size() > 1) {
            if (argument == "--") {
                optionsEnded = true;
            } else if (argument == "--only-changed") {
                options.onlyChanged = true;
            } else if (argument == "--port") {
                if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty())
                    return Fail(QStringLiteral("--port needs a port name"));
                options.port = QFile::decodeName(arguments[++i]);
            } else if (argument.startsWith("--port=")) {
                options.port = QFile::decodeName(argument.mid(7));
                if (options.port.isEmpty())
                    return Fail(QStringLiteral("--port needs a port name"));
            } else {
                return Fail(
                    QStringLiteral("unknown option \"%1\"").arg(QString::fromLocal8Bit(argument)));
            }
            continue;
        }
        if (command == nullptr) {
            command = FindCommand(argument);
            if (command == nullptr) {
                return Fail(
                    QStringLiteral("unknown command \"%1\"").arg(QString::fromLocal8Bit(argument)));
            }
            options.command = command->command;
            continue;
        }
        const QString problem = CheckOperand(command->command, argument);
        if (!problem.isEmpty())
            return Fail(QStringLiteral("%1: %2").arg(QLatin1String(command->name), problem));
        options.operands << argument;
    }

    if (command == nullptr)
        return Fail(QStringLiteral("no command given"));
    const QString name = QLatin1String(command->name);
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
    return {options, false, {}};
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
