#include "BridgeOptions.h"

#include <QFile>
#include <QHash>
#include <QSettings>

namespace {

enum class OptionKind { Value, Flag };

struct OptionRow {
    const char* name;  // long option without "--", and the key in the config file
    OptionKind kind;
};

constexpr OptionRow kOptionTable[] = {
    {"port", OptionKind::Value},
    {"mqtt", OptionKind::Value},
    {"name", OptionKind::Value},
    {"topic-prefix", OptionKind::Value},
    {"discovery-prefix", OptionKind::Value},
    {"no-discovery", OptionKind::Flag},
    {"mqtt-user", OptionKind::Value},
    {"mqtt-password-file", OptionKind::Value},
    {"mqtt-ca", OptionKind::Value},
    {"mqtt-cert", OptionKind::Value},
    {"mqtt-key", OptionKind::Value},
    {"listen", OptionKind::Value},
    {"allow-raw", OptionKind::Flag},
};

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
    return {std::nullopt, false, error};
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

QString ReadConfig(const QString& path, QHash<QString, QString>* values) {
    if (!QFile::exists(path))
        return QStringLiteral("cannot read the config file %1: it does not exist").arg(path);
    QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return QStringLiteral("the config file %1 is not a valid INI file").arg(path);
    for (const QString& key : settings.allKeys()) {
        // Keys may sit at the top or under a [bridge] section.
        const QString name = key.startsWith(QLatin1String("bridge/")) ? key.mid(7) : key;
        if (name == QLatin1String("mqtt-password"))
            return QStringLiteral("%1: put the password in a file named by mqtt-password-file")
                .arg(path);
        if (FindOption(name) == nullptr)
            return QStringLiteral("%1: unknown setting \"%2\"").arg(path, key);
        values->insert(name, settings.value(key).toString());
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

}  // namespace

BridgeParse ParseBridgeArguments(const QStringList& arguments, const QProcessEnvironment& env) {
    QHash<QString, QString> given;
    QString configPath;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == "--help" || arg == "-h")
            return {std::nullopt, true, {}};
        if (!arg.startsWith("--"))
            return Fail(QStringLiteral("unexpected argument \"%1\"").arg(arg));
        QString name = arg.mid(2);
        QString value;
        const qsizetype equals = name.indexOf('=');
        const bool inlineValue = equals >= 0;
        if (inlineValue) {
            value = name.mid(equals + 1);
            name = name.left(equals);
        }
        if (name == "mqtt-password")
            return Fail(QStringLiteral("the password is not taken on the command line: use "
                                       "--mqtt-password-file or %1")
                            .arg(kPasswordVariable));
        const bool isConfig = name == "config";
        const OptionRow* row = isConfig ? nullptr : FindOption(name);
        if (!isConfig && row == nullptr)
            return Fail(QStringLiteral("unknown option --%1").arg(name));
        if (row != nullptr && row->kind == OptionKind::Flag) {
            if (inlineValue)
                return Fail(QStringLiteral("--%1 takes no value").arg(name));
            given.insert(name, QStringLiteral("true"));
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= arguments.size())
                return Fail(QStringLiteral("--%1 needs a value").arg(name));
            value = arguments[++i];
        }
        if (isConfig)
            configPath = value;
        else
            given.insert(name, value);
    }

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
    return {options, false, {}};
}

QString BridgeUsage() {
    return QStringLiteral(
        "Usage: ampdesk-bridge --port COM1|/dev/ttyUSB0|tcp://host:port|Auto-Detect\n"
        "                      [--mqtt HOST[:PORT]] [--name ID] [--topic-prefix P]\n"
        "                      [--discovery-prefix homeassistant | --no-discovery]\n"
        "                      [--mqtt-user U --mqtt-password-file F]\n"
        "                      [--mqtt-ca FILE [--mqtt-cert FILE --mqtt-key FILE]]\n"
        "                      [--listen [HOST:]PORT] [--allow-raw] [--config FILE]\n"
        "Keeps one Velmar receiver connected and mirrors its settings to an MQTT broker.\n"
        "  --port PORT             the receiver's port\n"
        "  --mqtt HOST[:PORT]      the broker (default localhost:1883)\n"
        "  --name ID               the receiver's name in topics (default receiver)\n"
        "  --topic-prefix P        topics start with P/ID (default ampdesk)\n"
        "  --discovery-prefix P    Home Assistant discovery prefix (default homeassistant)\n"
        "  --no-discovery          announce nothing to Home Assistant\n"
        "  --mqtt-user U           broker user name\n"
        "  --mqtt-password-file F  the broker password, first line of F (or the\n"
        "                          environment variable AMPDESK_MQTT_PASSWORD)\n"
        "  --mqtt-ca FILE          connect with TLS, trusting the CA certificates in FILE\n"
        "  --mqtt-cert FILE        with --mqtt-key: the client certificate (PEM) shown to\n"
        "  --mqtt-key FILE         the broker, and its private key (PEM, not encrypted)\n"
        "  --listen [HOST:]PORT    share the receiver's line with consoles on this TCP\n"
        "                          port (host default 127.0.0.1)\n"
        "  --allow-raw             take raw receiver lines on <prefix>/<ID>/command\n"
        "  --config FILE           read these settings from an INI file; the command\n"
        "                          line wins\n");
}
