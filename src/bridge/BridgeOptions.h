#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

// What ampdesk-bridge runs with. The same settings come from the command line
// and from an INI file (--config, keys named like the long options without the
// dashes); the command line wins. A password never comes from the command
// line, where every user of the machine could read it: it is read from the
// file --mqtt-password-file names, else from the systemd credential
// "mqtt-password" ($CREDENTIALS_DIRECTORY/mqtt-password), else from
// AMPDESK_MQTT_PASSWORD.
struct BridgeOptions {
    QString port;
    QString mqttHost = QStringLiteral("localhost");
    int mqttPort = 1883;
    QString name = QStringLiteral("receiver");
    QString topicPrefix = QStringLiteral("ampdesk");
    QString discoveryPrefix = QStringLiteral("homeassistant");
    bool discovery = true;
    QString mqttUser;
    QByteArray mqttPassword;
    QString mqttCaFile;
    QString mqttCertFile;  // a TLS client certificate, with its key
    QString mqttKeyFile;
    QString listenHost = QStringLiteral("127.0.0.1");
    int listenPort = 0;  // 0: no listener
    bool allowRaw = false;
    bool lockstep = false;  // one command on the wire at a time

    // "<prefix>/<name>", the root of every topic of this receiver.
    QByteArray BaseTopic() const { return (topicPrefix + QLatin1Char('/') + name).toUtf8(); }
    // The MQTT client id: from the whole base topic, so that two bridges with
    // the same name under different prefixes do not knock each other off.
    QByteArray ClientId() const { return "ampdesk-bridge/" + BaseTopic(); }
};

// Exit codes. A configuration error stays one however often the service is
// started again: the unit's RestartPreventExitStatus= names it.
inline constexpr int kExitFailure = 1;
inline constexpr int kExitConfiguration = 78;  // EX_CONFIG

struct BridgeParse {
    std::optional<BridgeOptions> options;  // empty on error or when help or the version was asked
    bool help = false;
    bool version = false;
    QString error;
};

// `arguments` without the program name.
BridgeParse ParseBridgeArguments(const QStringList& arguments, const QProcessEnvironment& env);
QString BridgeUsage();
