#include "BaseClaim.h"
#include "Bridge.h"
#include "BridgeLog.h"
#include "BridgeOptions.h"
#include "BridgeReceiver.h"
#include "MqttClient.h"
#include "Profile.h"
#include "ShareServer.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace {

// The largest MQTT packet the broker may send: commands, sets and Home
// Assistant's status are far smaller.
constexpr quint32 kMaxMqttPacketBytes = 16 * 1024;

// SIGTERM and SIGINT reach the event loop through a socket pair: the handler
// only writes a byte, the loop does the rest.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

bool InstallSignalHandlers() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           ::sigaction(SIGINT, &action, nullptr) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const BridgeParse parse =
        ParseBridgeArguments(app.arguments().mid(1), QProcessEnvironment::systemEnvironment());
    if (parse.help) {
        std::fputs(BridgeUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parse.version) {
        std::puts("ampdesk-bridge " AMPDESK_BRIDGE_VERSION);
        return 0;
    }
    if (!parse.options) {
        std::fprintf(stderr, "ampdesk-bridge: %s; see ampdesk-bridge --help\n",
                     parse.error.toLocal8Bit().constData());
        return kExitConfiguration;
    }
    const BridgeOptions& options = *parse.options;
    if (!InstallSignalHandlers()) {
        BridgeLog(QStringLiteral("cannot install the signal handlers"));
        return kExitFailure;
    }

    MqttClient::Settings mqttSettings;
    mqttSettings.host = options.mqttHost;
    mqttSettings.port = options.mqttPort;
    mqttSettings.clientId = options.ClientId();
    // Nothing the bridge takes comes near this; a bigger message stays at the broker.
    mqttSettings.maximumPacketSize = kMaxMqttPacketBytes;
    mqttSettings.user = options.mqttUser.toUtf8();
    mqttSettings.password = options.mqttPassword;
    mqttSettings.caFile = options.mqttCaFile;
    mqttSettings.certFile = options.mqttCertFile;
    mqttSettings.keyFile = options.mqttKeyFile;
    mqttSettings.willTopic = options.BaseTopic() + "/availability";
    mqttSettings.willPayload = "offline";
    // Only while this bridge holds the base does it publish: the claim starts
    // and stops the connection that carries the states.
    BaseClaim claim(mqttSettings, options.BaseTopic());
    MqttClient mqtt(mqttSettings);
    QObject::connect(&claim, &BaseClaim::Held, &mqtt, &MqttClient::Start);
    QObject::connect(&claim, &BaseClaim::HeldBack, &mqtt, &MqttClient::Disconnect);
    BridgeReceiver receiver(options.port);
    if (const std::optional<int> depth = Profile::ReadPipelineDepth())
        receiver.SetPipelineDepth(*depth);
    if (options.lockstep)
        receiver.SetPipelineDepth(1);
    Bridge bridge(options, receiver, mqtt);
    ShareServer share(receiver);
    if (options.listenPort != 0 && !share.Listen(options.listenHost, options.listenPort))
        return kExitFailure;
    QObject::connect(&share, &ShareServer::CommandRefused, &bridge, &Bridge::ReportConsoleRefusal);

    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    const auto stop = [&](int code) {
        signalNotifier.setEnabled(false);
        bridge.PublishOffline();
        mqtt.Disconnect();
        claim.Release();
        share.Close();
        receiver.Stop();
        app.exit(code);
    };
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
        BridgeLog(QStringLiteral("stopping"));
        stop(0);
    });

    claim.Start();
    receiver.Start();
    return app.exec();
}
