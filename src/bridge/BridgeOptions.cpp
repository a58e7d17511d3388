#include "BridgeOptions.h"

#include <QCommandLineParser>
#include <QFile>
#include <QHash>

namespace {

struct OptionRow {
    const char* name;       // long option without "--", and the key in the config file
    const char* valueName;  // nullptr: a flag
    const char* help;
};

constexpr OptionRow kOptionTable[] = {
    {"port", "PORT", "The receiver's port: COM1, /dev/ttyUSB0, tcp://host:port or Auto-Detect."},
    {"mqtt", "HOST[:PORT]", "The broker (default localhost:1883)."},
    {"name", "ID", "The receiver's name in topics (default receiver)."},
    {"topic-prefix", "P", "Topics start with P/ID (default ampdesk)."},
    {"discovery-prefix", "P", "Home Assistant discovery prefix (default homeassistant)."},
    {"no-discovery", nullptr, "Announce nothing to Home Assistant."},
    {"mqtt-user", "U", "Broker user name."},
    {"mqtt-password-file", "F",
     "The broker password, first line of F (or the environment variable "
     "AMPDESK_MQTT_PASSWORD)."},
    {"mqtt-ca", "FILE", "Connect with TLS, trusting the CA certificates in FILE."},
    {"mqtt-cert", "FILE", "With --mqtt-key: the client certificate (PEM) shown to the broker."},
    {"mqtt-key", "FILE", "The client certificate's private key (PEM, not encrypted)."},
    {"listen", "[HOST:]PORT",
     "Share the receiver's line with consoles on this TCP port (host default 127.0.0.1)."},
    {"allow-raw", nullptr, "Take raw receiver lines on <prefix>/<ID>/command."},
    {"lockstep", nullptr,
     "Send one command at a time, for a receiver that cannot take the next while it answers."},
};

// A config file is a few dozen short lines.
constexpr qint64 kMaxConfigBytes = 64 * 1024;

// A password file holds one line; anything longer is not a password.
constexpr qint64 kMaxPasswordBytes = 1024;
const char* const kPasswordVariable = "AMPDESK_MQTT_PASSWORD";
// systemd hands credentials (LoadCredential=) over as files in this folder,
// readable by the service alone even with DynamicUser=yes.
const char* const kCredentialsVariable = "CREDENTIALS_DIRECTORY";
const char* const kPasswordCredential = "mqtt-password";

const OptionRow* FindOption(const QString& name) {
    for (const OptionRow& row : kOptionTable) {
        if (name == QLatin1String(row.name))
            return &row;
    }
    return nullptr;
}

BridgeParse Fail(const QString& error) {
    return {std::nullopt, false, false, error};
}

bool ParseFlag(const QString& text, bool* value) {
    const QString lower = text.trimmed().toLower();
    if (lower == "true" || lower == "yes" || lower == "on" || lower == "1") {
        *value = true;
        return true;
    }
    if (lower == "false" || lower == "no" || lower == "off" || lower == "0") {
        *value = false;
        return true;
    }
    return false;
}

bool ParsePort(const QString& text, int* port) {
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < 1 || number > 65535)
        return false;
    *port = number;
    return true;
}

// "HOST[:PORT]"; a bracketed IPv6 address keeps its colons.
bool ParseHostPort(const QString& text, QString* host, int* port) {
    QString rest = text.trimmed();
    if (rest.startsWith('[')) {
        const qsizetype close = rest.indexOf(']');
        if (close < 0)
            return false;
        *host = rest.mid(1, close - 1);
        rest = rest.mid(close + 1);
        if (rest.isEmpty())
            return !host->isEmpty();
        return rest.startsWith(':') && ParsePort(rest.mid(1), port);
    }
    const qsizetype colon = rest.lastIndexOf(':');
    if (colon < 0) {
        *host = rest;
        return !host->isEmpty();
    }
    *host = rest.left(colon);
    return !host->isEmpty() && ParsePort(rest.mid(colon + 1), port);
}

// "[HOST:]PORT".
bool ParseListen(const QString& text, QString* host, int* port) {
    if (!text.contains(':'))
        return ParsePort(text.trimmed(), port);
    return ParseHostPort(text, host, port) && *port != 0;
}

// A topic level: no MQTT wildcards, no NUL, not empty; the name is one level.
bool IsTopicText(const QString& text, bool oneLevel) {
    if (text.isEmpty() || text.size() > 200)
        return false;
    for (const QChar ch : text) {
        if (ch == '+' || ch == '#' || ch.unicode() < 0x20 || (oneLevel && ch == '/'))
            return false;
    }
    return !text.startsWith('/') && !text.endsWith('/');
}

// The INI file read by hand rather than by QSettings, which would take
// "name=living,room" for a list: a value is the text after "=", trimmed, and
// one pair of double quotes around it is dropped. "#" and ";" begin comments.
QString ReadConfig(const QString& path, QHash<QString, QString>* values) {
    QFile file(path);
    if (!file.exists())
        return QStringLiteral("cannot read the config file %1: it does not exist").arg(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the config file %1: %2").arg(path, file.errorString());
    const QByteArray bytes = file.read(kMaxConfigBytes + 1);
    if (bytes.size() > kMaxConfigBytes)
        return QStringLiteral("the config file %1 is larger than %2 bytes")
            .arg(path)
            .arg(kMaxConfigBytes);
    const QString text = QString::fromUtf8(bytes);
    if (text.contains(QChar::ReplacementCharacter) || text.contains(QChar::Null))
        return QStringLiteral("the config file %1 is not UTF-8 text").arg(path);
    QString section;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype number = 1; number <= lines.size(); ++number) {
        const QString line = lines[number - 1].trimmed();
        const QString where = QStringLiteral("%1 line %2").arg(path).arg(number);
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                return QStringLiteral("%1: a section is written [name]").arg(where);
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 1)
            return QStringLiteral("%1: not a setting such as name=value").arg(where);
        const QString name = line.left(equals).trimmed();
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
            value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2);
        // Keys may sit at the top or under a [bridge] section.
        const QString key = section.isEmpty() ? name : section + QLatin1Char('/') + name;
        if (!section.isEmpty() && section != QLatin1String("bridge"))
            return QStringLiteral("%1: unknown setting \"%2\"").arg(where, key);
        if (name == QLatin1String("mqtt-password"))
            return QStringLiteral("%1: put the password in a file named by mqtt-password-file")
                .arg(path);
        if (FindOption(name) == nullptr)
            return QStringLiteral("%1: unknown setting \"%2\"").arg(where, key);
        values->insert(name, value);
    }
    return {};
}

QString ReadPassword(const QString& path, QByteArray* password) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot read the password file %1: %2").arg(path, file.errorString());
    const QByteArray content = file.read(kMaxPasswordBytes + 1);
    if (content.size() > kMaxPasswordBytes)
        return QStringLiteral("the password file %1 is longer than %2 bytes")
            .arg(path)
            .arg(kMaxPasswordBytes);
    // The password is the first line, without its line end.
    *password = content.split('\n').value(0);
    if (password->endsWith('\r'))
        password->chop(1);
    return {};
}

QString Apply(const QHash<QString, QString>& values, const QProcessEnvironment& env,
              BridgeOptions* options) {
    const auto flag = [&](const char* name, bool* value) -> QString {
        if (values.contains(name) && !ParseFlag(values.value(name), value))
            return QStringLiteral("%1 takes true or false, not \"%2\"")
                .arg(name, values.value(name));
        return {};
    };
    options->port = values.value("port").trimmed();
    if (options->port.isEmpty())
        return QStringLiteral(
            "--port is required (COM1, /dev/ttyUSB0, tcp://host:port or "
            "Auto-Detect)");
    if (values.contains("mqtt") &&
        !ParseHostPort(values.value("mqtt"), &options->mqttHost, &options->mqttPort))
        return QStringLiteral("--mqtt takes HOST[:PORT], not \"%1\"").arg(values.value("mqtt"));
    options->name = values.value("name", options->name);
    if (!IsTopicText(options->name, true))
        return QStringLiteral("--name takes one topic level without / + #, not \"%1\"")
            .arg(options->name);
    options->topicPrefix = values.value("topic-prefix", options->topicPrefix);
    if (!IsTopicText(options->topicPrefix, false))
        return QStringLiteral("--topic-prefix takes a topic without + #, not \"%1\"")
            .arg(options->topicPrefix);
    options->discoveryPrefix = values.value("discovery-prefix", options->discoveryPrefix);
    if (!IsTopicText(options->discoveryPrefix, false))
        return QStringLiteral("--discovery-prefix takes a topic without + #, not \"%1\"")
            .arg(options->discoveryPrefix);
    bool noDiscovery = false;
    if (QString error = flag("no-discovery", &noDiscovery); !error.isEmpty())
        return error;
    options->discovery = !noDiscovery;
    if (QString error = flag("allow-raw", &options->allowRaw); !error.isEmpty())
        return error;
    if (QString error = flag("lockstep", &options->lockstep); !error.isEmpty())
        return error;
    options->mqttUser = values.value("mqtt-user");
    options->mqttCaFile = values.value("mqtt-ca");
    if (!options->mqttCaFile.isEmpty() && !QFile::exists(options->mqttCaFile))
        return QStringLiteral("the CA file %1 does not exist").arg(options->mqttCaFile);
    options->mqttCertFile = values.value("mqtt-cert");
    options->mqttKeyFile = values.value("mqtt-key");
    if (options->mqttCertFile.isEmpty() != options->mqttKeyFile.isEmpty())
        return QStringLiteral("--mqtt-cert and --mqtt-key go together");
    if (!options->mqttCertFile.isEmpty() && options->mqttCaFile.isEmpty())
        return QStringLiteral("a client certificate needs --mqtt-ca");
    for (const QString& file : {options->mqttCertFile, options->mqttKeyFile}) {
        if (!file.isEmpty() && !QFile::exists(file))
            return QStringLiteral("the TLS file %1 does not exist").arg(file);
    }
    if (values.contains("listen") &&
        !ParseListen(values.value("listen"), &options->listenHost, &options->listenPort))
        return QStringLiteral("--listen takes [HOST:]PORT, not \"%1\"").arg(values.value("listen"));
    if (values.contains("mqtt-password-file")) {
        if (QString error =
                ReadPassword(values.value("mqtt-password-file"), &options->mqttPassword);
            !error.isEmpty())
            return error;
    } else if (const QString credential =
                   env.value(kCredentialsVariable) + QLatin1Char('/') + kPasswordCredential;
               env.contains(kCredentialsVariable) && QFile::exists(credential)) {
        if (QString error = ReadPassword(credential, &options->mqttPassword); !error.isEmpty())
            return error;
    } else if (env.contains(kPasswordVariable)) {
        options->mqttPassword = env.value(kPasswordVariable).toUtf8();
    }
    if (!options->mqttPassword.isEmpty() && options->mqttUser.isEmpty())
        return QStringLiteral("a password needs --mqtt-user");
    return {};
}

void AddOptions(QCommandLineParser& parser) {
    for (const OptionRow& row : kOptionTable) {
        parser.addOption(row.valueName == nullptr
                             ? QCommandLineOption(QLatin1String(row.name), QLatin1String(row.help))
                             : QCommandLineOption(QLatin1String(row.name), QLatin1String(row.help),
                                                  QLatin1String(row.valueName)));
    }
    parser.addOption(QCommandLineOption(
        QStringLiteral("config"),
        QStringLiteral("Read these settings from an INI file; the command line wins."),
        QStringLiteral("FILE")));
    // Known, so that it is refused with the reason rather than as unknown.
    QCommandLineOption password(QStringLiteral("mqtt-password"), QString(), QStringLiteral("P"));
    password.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(password);
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this text.")));
    parser.addOption(
        QCommandLineOption(QStringLiteral("version"), QStringLiteral("Show the version.")));
}

}  // namespace

BridgeParse ParseBridgeArguments(const QStringList& arguments, const QProcessEnvironment& env) {
    QCommandLineParser parser;
    AddOptions(parser);
    const bool parsed = parser.parse(QStringList{QStringLiteral("ampdesk-bridge")} + arguments);
    if (parser.isSet(QStringLiteral("help")))
        return {std::nullopt, true, false, {}};
    if (!parsed) {
        const QStringList unknown = parser.unknownOptionNames();
        return Fail(unknown.isEmpty() ? parser.errorText()
                                      : QStringLiteral("unknown option --%1").arg(unknown.first()));
    }
    if (parser.isSet(QStringLiteral("version")))
        return {std::nullopt, false, true, {}};
    if (!parser.positionalArguments().isEmpty())
        return Fail(QStringLiteral("unexpected argument \"%1\"")
                        .arg(parser.positionalArguments().constFirst()));
    if (parser.isSet(QStringLiteral("mqtt-password")))
        return Fail(QStringLiteral("the password is not taken on the command line: use "
                                   "--mqtt-password-file or %1")
                        .arg(kPasswordVariable));
    QHash<QString, QString> given;
    for (const OptionRow& row : kOptionTable) {
        const QString name = QLatin1String(row.name);
        if (parser.isSet(name))
            given.insert(name,
                         row.valueName == nullptr ? QStringLiteral("true") : parser.value(name));
    }
    const QString configPath = parser.value(QStringLiteral("config"));

    QHash<QString, QString> values;
    if (!configPath.isEmpty()) {
        if (QString error = ReadConfig(configPath, &values); !error.isEmpty())
            return Fail(error);
    }
    for (auto it = given.cbegin(); it != given.cend(); ++it)
        values.insert(it.key(), it.value());

    BridgeOptions options;
    if (QString error = Apply(values, env, &options); !error.isEmpty())
        return Fail(error);
    return {options, false, false, {}};
}

QString BridgeUsage() {
    QCommandLineParser parser;
    AddOptions(parser);
    const QString options = parser.helpText();
    return QStringLiteral(
               "Usage: ampdesk-bridge --port COM1|/dev/ttyUSB0|tcp://host:port|Auto-Detect\n"
               "                      [--mqtt HOST[:PORT]] [--name ID] [--topic-prefix P]\n"
               "                      [--discovery-prefix homeassistant | --no-discovery]\n"
               "                      [--mqtt-user U --mqtt-password-file F]\n"
               "                      [--mqtt-ca FILE [--mqtt-cert FILE --mqtt-key FILE]]\n"
               "                      [--listen [HOST:]PORT] [--allow-raw] [--lockstep]\n"
               "                      [--config FILE]\n"
               "Keeps one Velmar receiver connected and mirrors its settings to an MQTT broker.\n"
               "\n") +
           options.mid(options.indexOf(QLatin1String("Options:")));
}
