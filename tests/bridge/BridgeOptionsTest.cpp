#include "BridgeOptions.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct OptionCase {
    const char* label;
    QStringList arguments;
    const char* config;    // INI text, or nullptr
    const char* expected;  // "host:port name base listen-host:port raw discovery" or "error:<part>"
};

QString Describe(const BridgeOptions& o) {
    return QStringLiteral("%1:%2 %3 %4 %5:%6 %7 %8")
               .arg(o.mqttHost)
               .arg(o.mqttPort)
               .arg(o.name, QString::fromUtf8(o.BaseTopic()), o.listenHost)
               .arg(o.listenPort)
               .arg(o.allowRaw ? "raw" : "noraw", o.discovery ? o.discoveryPrefix : "nodisc") +
           (o.mqttCertFile.isEmpty() ? "" : " cert:" + o.mqttCertFile + " key:" + o.mqttKeyFile) +
           (o.lockstep ? " lockstep" : "");
}

TEST(BridgeOptionsTest, CommandLineAndConfigFileTable) {
    const OptionCase cases[] = {
        {"defaults",
         {"--port", "COM1"},
         nullptr,
         "localhost:1883 receiver ampdesk/receiver 127.0.0.1:0 noraw homeassistant"},
        {"all given",
         {"--port=tcp://h:1", "--mqtt", "broker:1884", "--name", "den", "--topic-prefix", "home/av",
          "--no-discovery", "--listen", "0.0.0.0:4000", "--allow-raw", "--lockstep"},
         nullptr,
         "broker:1884 den home/av/den 0.0.0.0:4000 raw nodisc lockstep"},
        {"config read",
         {"--config", "@"},
         "port=COM2\nmqtt=10.0.0.2\nlisten=4001\nallow-raw=true\nlockstep=yes\n",
         "10.0.0.2:1883 receiver ampdesk/receiver 127.0.0.1:4001 raw homeassistant lockstep"},
        {"command line wins",
         {"--config", "@", "--name", "loft"},
         "[bridge]\nport=COM2\nname=den\n",
         "localhost:1883 loft ampdesk/loft 127.0.0.1:0 noraw homeassistant"},
        {"no port", {}, nullptr, "error:--port is required"},
        {"password on command line",
         {"--port", "COM1", "--mqtt-password", "x"},
         nullptr,
         "error:not taken on the command line"},
        {"password in config",
         {"--config", "@"},
         "port=COM1\nmqtt-password=x\n",
         "error:mqtt-password-file"},
        {"wildcard name", {"--port", "COM1", "--name", "a+b"}, nullptr, "error:--name"},
        {"name with level", {"--port", "COM1", "--name", "a/b"}, nullptr, "error:--name"},
        {"bad broker port", {"--port", "COM1", "--mqtt", "h:99999"}, nullptr, "error:--mqtt"},
        {"bad listen", {"--port", "COM1", "--listen", "x"}, nullptr, "error:--listen"},
        {"unknown option", {"--port", "COM1", "--colour"}, nullptr, "error:unknown option"},
        {"comma in a config value",
         {"--config", "@"},
         "# a comment\n[bridge]\nport=COM1\nname=living,room\ntopic-prefix=\"a,b\"\n",
         "localhost:1883 living,room a,b/living,room 127.0.0.1:0 noraw homeassistant"},
        {"config line without equals",
         {"--config", "@"},
         "port=COM1\nliving room\n",
         "error:line 2: not a setting"},
        {"unknown config key",
         {"--config", "@"},
         "port=COM1\ncolour=red\n",
         "error:unknown setting"},
        {"missing config",
         {"--config", "/nonexistent/bridge.conf"},
         nullptr,
         "error:does not exist"},
        {"client certificate from config",
         {"--config", "@"},
         "port=COM1\nmqtt-ca=/dev/null\nmqtt-cert=/dev/null\nmqtt-key=/dev/null\n",
         "localhost:1883 receiver ampdesk/receiver 127.0.0.1:0 noraw homeassistant "
         "cert:/dev/null key:/dev/null"},
        {"certificate without key",
         {"--port", "COM1", "--mqtt-ca", "@pw", "--mqtt-cert", "@pw"},
         nullptr,
         "error:go together"},
        {"certificate without CA",
         {"--port", "COM1", "--mqtt-cert", "@pw", "--mqtt-key", "@pw"},
         nullptr,
         "error:needs --mqtt-ca"},
        {"missing key",
         {"--port", "COM1", "--mqtt-ca", "@pw", "--mqtt-cert", "@pw", "--mqtt-key", "/nonexistent"},
         nullptr,
         "error:/nonexistent does not exist"},
        {"password without user",
         {"--port", "COM1", "--mqtt-password-file", "@pw"},
         nullptr,
         "error:needs --mqtt-user"},
    };
    QTemporaryDir folder;
    const QString configPath = folder.filePath("bridge.conf");
    const QString passwordPath = folder.filePath("pw");
    QFile password(passwordPath);
    ASSERT_TRUE(password.open(QIODevice::WriteOnly));
    password.write("s3cret\nignored\n");
    password.close();
    for (const OptionCase& c : cases) {
        QStringList arguments;
        for (const QString& a : c.arguments)
            arguments << (a == "@" ? configPath : a == "@pw" ? passwordPath : a);
        if (c.config != nullptr) {
            QFile file(configPath);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(c.config);
        }
        const BridgeParse parse = ParseBridgeArguments(arguments, QProcessEnvironment());
        const QString expected = QString::fromUtf8(c.expected);
        if (expected.startsWith("error:")) {
            EXPECT_FALSE(parse.options.has_value()) << c.label;
            EXPECT_TRUE(parse.error.contains(expected.mid(6)))
                << c.label << ": " << qPrintable(parse.error);
        } else {
            ASSERT_TRUE(parse.options.has_value()) << c.label << ": " << qPrintable(parse.error);
            EXPECT_EQ(Describe(*parse.options), expected) << c.label;
        }
    }
}

TEST(BridgeOptionsTest, PasswordFromFileOrEnvironment) {
    QTemporaryDir folder;
    QFile file(folder.filePath("pw"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("s3cret\r\nsecond line\n");
    file.close();
    QProcessEnvironment env;
    env.insert("AMPDESK_MQTT_PASSWORD", "fromenv");
    const QStringList base{"--port", "COM1", "--mqtt-user", "u"};
    const BridgeParse fromFile =
        ParseBridgeArguments(base + QStringList{"--mqtt-password-file", file.fileName()}, env);
    ASSERT_TRUE(fromFile.options.has_value()) << qPrintable(fromFile.error);
    EXPECT_EQ(fromFile.options->mqttPassword, "s3cret");
    const BridgeParse fromEnv = ParseBridgeArguments(base, env);
    ASSERT_TRUE(fromEnv.options.has_value());
    EXPECT_EQ(fromEnv.options->mqttPassword, "fromenv");
    // A systemd credential (LoadCredential=mqtt-password:...) comes before the variable.
    ASSERT_TRUE(file.rename(folder.filePath("mqtt-password")));
    env.insert("CREDENTIALS_DIRECTORY", folder.path());
    const BridgeParse fromCredential = ParseBridgeArguments(base, env);
    ASSERT_TRUE(fromCredential.options.has_value()) << qPrintable(fromCredential.error);
    EXPECT_EQ(fromCredential.options->mqttPassword, "s3cret");
}

}  // namespace
