#include "Bridge.h"
#include "BridgeOptions.h"
#include "BridgeReceiver.h"
#include "MqttClient.h"
#include "ShareServer.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const BridgeParse parse =
        ParseBridgeArguments(app.arguments().mid(1), QProcessEnvironment::systemEnvironment());
    if (parse.help) {
        std::fputs(BridgeUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (!parse.options) {
        std::fprintf(stderr, "ampdesk-bridge: %s\n%s", parse.error.toLocal8Bit().constData(),
                     BridgeUsage().toLocal8Bit().constData());
        return 2;
    }
    const BridgeOptions& options = *parse.options;

    MqttClient::Settings mqttSettings;
    mqttSettings.host = options.mqttHost;
    mqttSettings.port = options.mqttPort;
    mqttSettings.clientId = "ampdesk-bridge-" + options.name.toUtf8();
    mqttSettings.user = options.mqttUser.toUtf8();
    mqttSettings.password = options.mqttPassword;
    mqttSettings.caFile = options.mqttCaFile;
    mqttSettings.willTopic = options.BaseTopic() + "/availability";
    mqttSettings.willPayload = "offline";
    MqttClient mqtt(mqttSettings);
    BridgeReceiver receiver(options.port);
    Bridge bridge(options, receiver, mqtt);
    ShareServer share(receiver);
    if (options.listenPort != 0 && !share.Listen(options.listenHost, options.listenPort))
        return 1;

    mqtt.Start();
    receiver.Start();
    return app.exec();
}
