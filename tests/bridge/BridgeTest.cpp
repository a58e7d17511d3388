#include "BridgeHarness.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

namespace {

const QByteArray kBase = "ampdesk/test/";

QJsonObject Json(const QByteArray& payload) {
    return QJsonDocument::fromJson(payload).object();
}

class BridgeTest : public ::testing::Test {
protected:
    // Connects a console to the shared port once it listens, and asks it once.
    static bool ConsoleAnswered(QTcpSocket& console, int port) {
        return WaitFor([&] {
            if (console.state() == QAbstractSocket::UnconnectedState)
                console.connectToHost("127.0.0.1", static_cast<quint16>(port));
            if (console.state() != QAbstractSocket::ConnectedState)
                return false;
            console.write("\rMain.Volume?\r");
            return console.waitForReadyRead(200) && console.readAll().contains("Main.Volume=");
        });
    }
    // The bridge on a fresh simulator, online and read (by its own word, not the last one's).
    void StartBridge(SimProcess::Line line, const QStringList& extra = {},
                     const QStringList& simExtra = {}) {
        m_bridge.reset();
        m_sub.Forget();
        m_sim = std::make_unique<SimProcess>(QStringList{"--baud", "0"} + simExtra, line);
        ASSERT_TRUE(m_sim->IsRunning());
        m_bridge = std::make_unique<BridgeProcess>(m_sim->LinkPath(), m_broker.Port(), extra);
        ASSERT_TRUE(WaitFor([&] { return Online(); }, 30'000)) << m_bridge->Log().constData();
    }
    bool Online() const { return m_sub.Last(kBase + "availability") == "online"; }
    QByteArray State(const char* key) const { return m_sub.Last(kBase + "state/" + key); }
    bool WaitState(const char* key, const QByteArray& value) {
        return WaitFor([&] { return State(key) == value; });
    }

    Broker m_broker;
    Subscriber m_sub{m_broker.Port()};
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<BridgeProcess> m_bridge;
};

struct MessageCase {
    const char* topic;  // under the base
    const char* payload;
    const char* stateKey;  // the state that must follow, or nullptr for a refusal
    const char* expected;  // that state's value, or a part of the refusal's reason
};

TEST_F(BridgeTest, SetStepAndRefusalsOverPty) {
    StartBridge(SimProcess::Line::Pty);
    const MessageCase cases[] = {
        {"set/Main.Volume", "-35", "Main.Volume", "-35"},
        {"set/Main.Volume", "-34.0", "Main.Volume", "-34"},
        {"step/Main.Volume", "up", "Main.Volume", "-33"},
        {"set/Main.Mute", "On", "Main.Mute", "On"},
        {"set/Main.Bass", "4", "Main.Bass", "4"},
        {"set/Main.ListeningMode", "EARS", "Main.ListeningMode", "EARS"},
        {"set/Source3.Name", "Platten\xc3\xa9", "Source3.Name", "Platten\xc3\xa9"},
        {"set/Main.Source", "Platten\xc3\xa9", "Main.Source", "3"},
        {"set/ZONE2.source", "Platten\xc3\xa9", "Zone2.Source", "3"},
        {"set/Main.Volume", "17", nullptr, "from -72 to 16"},
        {"set/Main.Volume", "loud", nullptr, "whole number"},
        {"set/Main.Bass", "3", nullptr, "not one of"},
        {"set/Main.ListeningMode", "Disco", nullptr, "not one of"},
        {"set/Source1.Name", "ThirteenChars", nullptr, "at most 12"},
        {"set/Source1.Name", "Snow\xe2\x98\x83", nullptr, "cannot show"},
        {"set/Main.Volume", "-30\rMain.Power=Off", nullptr, "carriage return"},
        {"set/Main.Bogus", "1", nullptr, "no setting"},
        {"step/Main.Volume", "sideways", nullptr, "\"up\" or \"down\""},
        {"step/Main.Bass", "up", nullptr, "only volumes"},
        {"command", "Main.Power=Off", nullptr, "--allow-raw"},
        {"set/Tuner.FM.Frequency", "101.1\x13", nullptr, "not a number"},
        {"set/Tuner.Preset7", "01AC07004A415A5A0000000000000000FFFFFFFFFFFFFFFF", nullptr,
         "--allow-raw"},
        {"retain set/Main.Volume", "-10", nullptr, "retained"},
    };
    for (const MessageCase& c : cases) {
        const bool retain = QByteArray(c.topic).startsWith("retain ");
        const QByteArray topic = kBase + QByteArray(c.topic).mid(retain ? 7 : 0);
        m_sub.Publish(topic, c.payload, retain);
        if (c.stateKey != nullptr) {
            EXPECT_TRUE(WaitState(c.stateKey, c.expected)) << c.topic << " " << c.payload;
            continue;
        }
        const bool refused = WaitFor([&] {
            const QJsonObject error = Json(m_sub.Last(kBase + "error"));
            return error["topic"].toString() == QString::fromUtf8(topic) &&
                   error["payload"].toString() == QString::fromUtf8(c.payload) &&
                   error["reason"].toString().contains(QString::fromUtf8(c.expected));
        });
        EXPECT_TRUE(refused) << c.topic << " " << c.payload << ": "
                             << m_sub.Last(kBase + "error").constData();
    }
    // An overlong topic is quoted cut; a message beyond the packet size the
    // bridge asked for never reaches it.
    m_sub.Publish(kBase + "set/" + QByteArray(60'000, 'K'), "1");
    m_sub.Publish(kBase + "set/Main.Volume", QByteArray(100'000, '1'));
    // Clearing the retained command is not itself a command.
    m_sub.Publish(kBase + "set/Main.Volume", "", true);
    // A barrier: once this set is answered, anything sent before it has arrived.
    m_sub.Publish(kBase + "set/Main.Volume", "-40");
    ASSERT_TRUE(WaitState("Main.Volume", "-40"));
    int retainedAnswers = 0;
    for (const auto& [topic, payload] : m_sub.Messages()) {
        if (topic != kBase + "error")
            continue;
        EXPECT_LT(payload.size(), 1024);
        EXPECT_FALSE(payload.contains("longer than")) << "an oversized message arrived";
        retainedAnswers += payload.contains("retained") ? 1 : 0;
    }
    EXPECT_EQ(retainedAnswers, 1);
    for (const QByteArray& command : m_sim->ReceivedCommands()) {
        for (const MessageCase& c : cases) {
            if (c.stateKey == nullptr && QByteArray(c.topic).startsWith("set/")) {
                EXPECT_NE(command, QByteArray(c.topic).mid(4) + "=" + c.payload);
            }
        }
        EXPECT_NE(command, "Main.Bass+");
        EXPECT_NE(command, "Main.Volume=-10");
        EXPECT_FALSE(command.startsWith("Tuner.FM.Frequency=")) << command.constData();
        EXPECT_NE(command, "Main.Power=Off");
    }

    // A flood of refusals is answered each on error but logged once a second.
    const qsizetype logged = m_bridge->Log().size();
    for (int i = 0; i < 200; ++i)
        m_sub.Publish(kBase + "set/Main.Volume", "flood");
    const auto counted = [&] {
        int lines = 0;
        for (const QByteArray& line : m_bridge->Log().mid(logged).split('\n')) {
            const qsizetype more = line.indexOf(" more like it");
            lines += more < 0 ? line.contains("refused") : line.mid(16, more - 16).toInt();
        }
        return lines;
    };
    EXPECT_TRUE(WaitFor([&] { return counted() >= 200; }))
        << m_bridge->Log().mid(logged).constData();
    EXPECT_LT(m_bridge->Log().mid(logged).count('\n'), 6);
}

TEST(BridgeCommandLine, ConfigurationErrorIsOneLineWithTheHint) {
    QProcess bridge;
    bridge.start(AMPDESK_BRIDGE_PATH, {"--port", "COM1", "--mqtt", "host:99999"});
    ASSERT_TRUE(bridge.waitForFinished(10'000));
    EXPECT_EQ(bridge.exitCode(), 78);
    EXPECT_EQ(bridge.readAllStandardError(),
              "ampdesk-bridge: --mqtt takes HOST[:PORT], not \"host:99999\"; see ampdesk-bridge "
              "--help\n");
}

TEST_F(BridgeTest, DiscoveryFollowsSourceNamesAndHomeAssistantRestarts) {
    StartBridge(SimProcess::Line::Pty);
    const QByteArray source = "homeassistant/select/ampdesk__test/main_source/config";
    ASSERT_TRUE(WaitFor([&] { return !m_sub.Last(source).isEmpty(); }));
    QJsonObject config = Json(m_sub.Last(source));
    EXPECT_EQ(config["command_topic"].toString(), "ampdesk/test/set/Main.Source");
    EXPECT_EQ(config["device"].toObject()["manufacturer"].toString(), "Velmar");
    EXPECT_EQ(config["options"].toArray().size(), 10);

    m_sub.Publish(kBase + "set/Source1.Name", "Vinyl");
    EXPECT_TRUE(WaitFor([&] {
        return Json(m_sub.Last(source))["options"].toArray().first().toString() == "Vinyl";
    }));
    m_sub.Forget();
    m_sub.Publish("homeassistant/status", "online");
    EXPECT_TRUE(WaitFor([&] { return !m_sub.Last(source).isEmpty(); }));
}

struct LossCase {
    const char* label;
    SimProcess::Line line;
    bool hangUp;  // else the receiver falls silent (and speaks again)
};

TEST_F(BridgeTest, AvailabilityFollowsReceiverAndBrokerLoss) {
    const LossCase cases[] = {
        {"silent on pty", SimProcess::Line::Pty, false},
        {"TCP drop", SimProcess::Line::Tcp, true},
    };
    for (const LossCase& c : cases) {
        const int listen = FreePort();
        StartBridge(c.line, {"--listen", QString::number(listen)});
        QElapsedTimer lost;
        lost.start();
        if (c.hangUp)
            m_sim->Stop();
        else
            m_sim->Signal(SIGUSR1);
        EXPECT_TRUE(WaitFor([&] { return m_sub.Last(kBase + "availability") == "offline"; }))
            << c.label;
        EXPECT_LT(lost.elapsed(), 2500) << c.label;
        if (c.hangUp)
            continue;
        // A console's command that cannot go is reported, not dropped.
        QTcpSocket console;
        console.connectToHost("127.0.0.1", static_cast<quint16>(listen));
        ASSERT_TRUE(console.waitForConnected(5000));
        console.write("\rMain.Volume?\r");
        EXPECT_TRUE(WaitFor([&] {
            return Json(m_sub.Last(kBase + "error"))["topic"].toString().startsWith("console ");
        })) << m_bridge->Log().constData();
        m_sim->Signal(SIGUSR1);
        EXPECT_TRUE(WaitFor([&] { return Online(); }, 20'000)) << c.label;
    }

    // Broker gone: the bridge keeps the receiver and tells the new broker. A
    // listener on every interface is warned of.
    const int listen = FreePort();
    StartBridge(SimProcess::Line::Pty, {"--listen", QStringLiteral("0.0.0.0:%1").arg(listen)});
    EXPECT_TRUE(m_bridge->Log().contains("warning: the shared port listens beyond"));
    m_broker.Stop();
    QTcpSocket console;
    console.connectToHost("127.0.0.1", static_cast<quint16>(listen));
    ASSERT_TRUE(console.waitForConnected(5000));
    console.write("\rMain.Volume=-21\r");
    ASSERT_TRUE(WaitFor([&] { return console.readAll().contains("Main.Volume=-21"); }));
    ASSERT_TRUE(m_broker.Start());
    Subscriber fresh(m_broker.Port());
    EXPECT_TRUE(WaitFor(
        [&] {
            return fresh.Last(kBase + "state/Main.Volume") == "-21" &&
                   fresh.Last(kBase + "availability") == "online";
        },
        40'000))
        << m_bridge->Log().constData();
}

// A console socket whose receive buffer is tiny and which never reads.
int SilentConsole(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int size = 2048;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<quint16>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return fd;
}

TEST_F(BridgeTest, SharedPortServesConsolesAndDropsOneThatNeverReads) {
    const int port = FreePort();
    StartBridge(SimProcess::Line::Tcp, {"--listen", QString::number(port), "--allow-raw"});
    QTcpSocket a;
    QTcpSocket b;
    for (QTcpSocket* s : {&a, &b}) {
        s->connectToHost("127.0.0.1", static_cast<quint16>(port));
        ASSERT_TRUE(s->waitForConnected(5000));
    }
    QByteArray seenA;
    QByteArray seenB;
    const auto seen = [&](const QByteArray& line) {
        seenA += a.readAll();
        seenB += b.readAll();
        return seenA.contains(line) && seenB.contains(line);
    };
    // A change by one console reaches the other one and MQTT.
    a.write("\rMain.Mute=On\r");
    EXPECT_TRUE(WaitFor([&] { return seen("\rMain.Mute=On\r"); }));
    EXPECT_TRUE(WaitState("Main.Mute", "On"));
    EXPECT_FALSE(m_bridge->Log().contains("warning"));
    // A command over 1,024 bytes is dropped whole, its carriage return in the same read.
    a.write("\rMain.Volume=-23" + QByteArray(1100, ' ') + "\r");
    // And one made on MQTT reaches both consoles; a raw command's lines go to reply.
    m_sub.Publish(kBase + "set/Main.Volume", "-22");
    EXPECT_TRUE(WaitFor([&] { return seen("\rMain.Volume=-22\r"); }));
    EXPECT_FALSE(m_sim->Log().contains(" D ")) << "an overlong command reached the receiver";
    m_sub.Publish(kBase + "command", "Main.Volume?");
    EXPECT_TRUE(WaitFor([&] { return m_sub.Last(kBase + "reply") == "Main.Volume=-22"; }));

    const int silent = SilentConsole(port);
    std::vector<std::unique_ptr<QTcpSocket>> more;
    for (int i = 0; i < 6; ++i) {
        more.push_back(std::make_unique<QTcpSocket>());
        more.back()->connectToHost("127.0.0.1", static_cast<quint16>(port));
        ASSERT_TRUE(more.back()->waitForConnected(5000));
    }
    EXPECT_TRUE(WaitFor([&] { return m_bridge->Log().contains("refused the console"); }));
    more.clear();

    // B asks in bursts; the receiver's answers pile up at the silent console.
    int answered = 0;
    while (!m_bridge->Log().contains("dropped the console") && answered < 40'000) {
        b.write(QByteArray("\rMain.Volume?\r").repeated(16));
        int got = 0;
        ASSERT_TRUE(WaitFor([&] {
            const QByteArray data = b.readAll();
            got += static_cast<int>(data.count("Main.Volume="));
            return got >= 16;
        })) << "console B stalled after "
            << answered;
        answered += got;
    }
    EXPECT_TRUE(m_bridge->Log().contains("dropped the console")) << answered;
    ::close(silent);
}

TEST_F(BridgeTest, ClientIdAndEntitiesComeFromTheWholeBaseTopic) {
    StartBridge(SimProcess::Line::Pty);
    // A second bridge of the same name under another prefix keeps its own place.
    SimProcess otherSim(QStringList{"--baud", "0"}, SimProcess::Line::Pty);
    BridgeProcess other(otherSim.LinkPath(), m_broker.Port(), {"--topic-prefix", "loft"});
    ASSERT_TRUE(WaitFor([&] { return m_sub.Last("loft/test/availability") == "online"; }, 30'000));
    m_sub.Publish(kBase + "set/Main.Volume", "-31");
    ASSERT_TRUE(WaitState("Main.Volume", "-31"));
    EXPECT_FALSE(m_bridge->Log().contains("another bridge")) << m_bridge->Log().constData();
    EXPECT_FALSE(other.Log().contains("another bridge")) << other.Log().constData();
}

// A second bridge on the same base holds back while the first runs, and takes
// over when the first one's will clears its claim.
TEST_F(BridgeTest, SecondBridgeOnOneBaseHoldsBackUntilTheFirstGoes) {
    StartBridge(SimProcess::Line::Pty);
    SimProcess secondSim(QStringList{"--baud", "0"}, SimProcess::Line::Pty);
    BridgeProcess second(secondSim.LinkPath(), m_broker.Port());
    const auto fromSecond = [&] {
        return Json(m_sub.Last(kBase + "info"))["port"].toString() == secondSim.LinkPath();
    };
    ASSERT_TRUE(WaitFor([&] { return second.Log().contains("another bridge publishes"); }))
        << second.Log().constData();
    // Its receiver is read meanwhile; a set reaches the first bridge alone.
    m_sub.Publish(kBase + "set/Main.Volume", "-37");
    ASSERT_TRUE(WaitState("Main.Volume", "-37"));
    EXPECT_FALSE(secondSim.ReceivedCommands().contains("Main.Volume=-37"));
    EXPECT_FALSE(fromSecond());
    EXPECT_EQ(second.Log().count("another bridge"), 1);

    m_bridge->Process().kill();
    EXPECT_TRUE(WaitFor([&] { return fromSecond() && Online(); }, 20'000))
        << second.Log().constData();
    EXPECT_EQ(second.Process().state(), QProcess::Running);
}

// A broker restarted again and again, each time soon after the bridge came
// back, is a broker hiccup, not a rival: the bridge keeps coming back.
TEST_F(BridgeTest, BrokerRestartsSoonAfterReconnectingNeverStopTheBridge) {
    StartBridge(SimProcess::Line::Pty);
    for (int restart = 0; restart < 4; ++restart) {
        m_broker.Stop();
        ASSERT_TRUE(m_broker.Start());
        Subscriber fresh(m_broker.Port());
        ASSERT_TRUE(WaitFor([&] { return fresh.Last(kBase + "availability") == "online"; }))
            << restart << m_bridge->Log().constData();
    }
    EXPECT_EQ(m_bridge->Process().state(), QProcess::Running) << m_bridge->Log().constData();
}

TEST_F(BridgeTest, ConsoleBackupThroughSharedPortMatchesDirectBackupUnderMqttLoad) {
    QTemporaryDir folder;
    const auto backup = [&](const QString& port, const QString& file) {
        auto cli = std::make_unique<QProcess>();
        cli->start(AMPDESK_CLI_PATH, {"--port", port, "backup", folder.filePath(file)});
        return cli;
    };
    m_sim = std::make_unique<SimProcess>(QStringList{"--baud", "0"}, SimProcess::Line::Pty);
    const std::unique_ptr<QProcess> direct = backup(m_sim->LinkPath(), "direct.kvx");
    ASSERT_TRUE(direct->waitForFinished(60'000));
    ASSERT_EQ(direct->exitCode(), 0) << direct->readAllStandardError().constData();
    const int port = FreePort();
    m_bridge = std::make_unique<BridgeProcess>(
        m_sim->LinkPath(), m_broker.Port(),
        QStringList{"--listen", QString::number(port), "--allow-raw"});
    ASSERT_TRUE(WaitFor([&] { return Online(); }, 30'000));

    // Sets of the values held (the file must not change) and raw queries,
    // more than MQTT's share of the queue, flow while the console reads; a
    // round at a time, paced by the answers and by the line, so that a slow
    // (sanitizer) build spends its time on the line, not on refusals.
    const std::unique_ptr<QProcess> shared =
        backup(QStringLiteral("tcp://127.0.0.1:%1").arg(port), "shared.kvx");
    while (shared->state() != QProcess::NotRunning) {
        const qsizetype carried = m_sim->ReceivedCommands().size();
        for (int source = 1; source <= 10; ++source) {
            const QByteArray key = "Source" + QByteArray::number(source) + ".Name";
            m_sub.Publish(kBase + "set/" + key, State(key.constData()));
        }
        for (int i = 0; i < 30; ++i)
            m_sub.Publish(kBase + "command", "Main.Volume?");
        const qsizetype seen = m_sub.Messages().size();
        WaitFor([&] {
            return shared->state() == QProcess::NotRunning ||
                   (m_sub.Messages().size() > seen + 30 &&
                    m_sim->ReceivedCommands().size() >= carried + 16);
        });
    }
    EXPECT_EQ(shared->exitCode(), 0) << shared->readAllStandardError().constData();
    QFile a(folder.filePath("direct.kvx"));
    QFile b(folder.filePath("shared.kvx"));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QList<QByteArray> expected = a.readAll().split('\n');
    const QList<QByteArray> got = b.readAll().split('\n');
    for (qsizetype i = 0; i < std::max(expected.size(), got.size()); ++i) {
        ASSERT_EQ(expected.value(i), got.value(i)) << "line " << i + 1;
    }
}

// Sets take 150 ms, MQTT sends 50 a second: its excess is refused, and a console's
// commands take turns with it, not behind all 8 it has waiting (past the reply
// time-out), and not one MQTT set between every two of them either.
TEST_F(BridgeTest, ConsoleWaitsBehindOneMqttCommandOfAFlood) {
    const int port = FreePort();
    StartBridge(SimProcess::Line::Pty, {"--listen", QString::number(port)},
                {"--set-latency-ms", "150"});
    int sets = 0;
    QTimer flood;
    QObject::connect(&flood, &QTimer::timeout, [&] {
        const QByteArray key = "Source" + QByteArray::number(sets++ % 10 + 1) + ".Name";
        m_sub.Publish(kBase + "set/" + key, State(key.constData()));
    });
    flood.start(20);
    ASSERT_TRUE(WaitFor([&] { return m_sub.Last(kBase + "error").contains("not sent"); }));
    QStringList keys;
    for (int i = 1; i <= 8; ++i)
        keys << QStringLiteral("Tuner.Preset%1").arg(i);
    QProcess cli;
    cli.start(AMPDESK_CLI_PATH,
              QStringList{"--port", QStringLiteral("tcp://127.0.0.1:%1").arg(port), "get"} + keys);
    ASSERT_TRUE(WaitFor([&] { return cli.state() == QProcess::NotRunning; }, 60'000));
    flood.stop();
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().constData();
    EXPECT_EQ(cli.readAllStandardOutput().count("Tuner.Preset"), keys.size());
    // On the wire, at most one MQTT set between two of the console's queries,
    // and the console keeps the turn for a few queries in a row.
    int between = -1;
    int inRow = 0;
    for (const QByteArray& command : m_sim->ReceivedCommands()) {
        if (command.contains('=') && between >= 0)
            ++between;
        if (command.endsWith('?') && keys.contains(QString::fromLatin1(command.chopped(1)))) {
            EXPECT_LE(between, 1) << "before " << command.constData();
            inRow += between == 0 ? 1 : 0;
            between = 0;
        }
    }
    EXPECT_GE(inRow, 2);
}

TEST_F(BridgeTest, SigtermPublishesOfflineAndExits) {
    StartBridge(SimProcess::Line::Pty);
    QElapsedTimer timer;
    timer.start();
    ::kill(static_cast<pid_t>(m_bridge->Process().processId()), SIGTERM);
    ASSERT_TRUE(m_bridge->Process().waitForFinished(5000));
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(m_bridge->Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_bridge->Process().exitCode(), 0);
    // What the broker keeps for the next subscriber; the bridge left cleanly,
    // so no last will stands in for its own word.
    Subscriber later(m_broker.Port());
    EXPECT_TRUE(WaitFor([&] { return later.Last(kBase + "availability") == "offline"; }));
}

// A listener that never accepts: the bridge's first connection fills its queue
// (and waits for a CONNACK in vain), every later SYN is dropped. Consoles are
// answered throughout, until the attempt is given up.
TEST_F(BridgeTest, ConsolesAreAnsweredWhileTheBrokerConnectionHangs) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(::listen(fd, 0) + ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size), 0);
    m_sim = std::make_unique<SimProcess>(QStringList{"--baud", "0"}, SimProcess::Line::Pty);
    const int port = FreePort();
    m_bridge = std::make_unique<BridgeProcess>(m_sim->LinkPath(), ntohs(address.sin_port),
                                               QStringList{"--listen", QString::number(port)});
    QTcpSocket console;
    ASSERT_TRUE(ConsoleAnswered(console, port));
    while (!m_bridge->Log().contains("did not answer the connection within 10 s")) {
        console.write("\rMain.Mute?\r");
        ASSERT_TRUE(WaitFor([&] { return console.readAll().contains("Main.Mute="); }, 1000));
    }
    ::close(fd);
}

// The broker's name is looked up through a resolver that never answers: a
// UDP socket on port 53 that takes the query and keeps it, named by the
// bridge's own /etc/resolv.conf in a mount namespace of its own (root and
// unshare(1) needed, as in CI). Consoles are answered while the real lookup
// hangs, until the attempt is given up.
TEST_F(BridgeTest, ConsolesAreAnsweredWhileTheBrokerNameLookupHangs) {
    const QHostAddress resolver(QStringLiteral("127.0.0.153"));
    QUdpSocket silent;
    if (!silent.bind(resolver, 53))
        GTEST_SKIP() << "cannot listen on port 53: " << silent.errorString().toStdString();
    QProcess probe;
    probe.start("unshare", {"--mount", "true"});
    if (!probe.waitForFinished(5000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0)
        GTEST_SKIP() << "unshare --mount is not available here";
    QTemporaryDir folder;
    QFile conf(folder.filePath("resolv.conf"));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write("nameserver " + resolver.toString().toLatin1() +
               "\noptions timeout:30 attempts:1\n");
    conf.close();

    m_sim = std::make_unique<SimProcess>(QStringList{"--baud", "0"}, SimProcess::Line::Pty);
    const int port = FreePort();
    QProcess bridge;
    bridge.start(
        "unshare",
        {"--mount", "--", "sh", "-c", "mount --bind \"$0\" /etc/resolv.conf && exec \"$@\"",
         conf.fileName(), AMPDESK_BRIDGE_PATH, "--port", m_sim->LinkPath(), "--mqtt",
         "mqtt-broker.ampdesk.test:1883", "--name", "test", "--listen", QString::number(port)});
    QByteArray log;
    // The lookup has begun: the resolver holds its query.
    ASSERT_TRUE(WaitFor([&] {
        while (silent.hasPendingDatagrams()) {
            if (silent.receiveDatagram().data().contains("ampdesk"))
                return true;
        }
        return false;
    })) << (log += bridge.readAllStandardError()).constData();
    QTcpSocket console;
    ASSERT_TRUE(ConsoleAnswered(console, port));
    while (!(log += bridge.readAllStandardError()).contains("within 10 s")) {
        ASSERT_NE(bridge.state(), QProcess::NotRunning) << log.constData();
        console.write("\rMain.Mute?\r");
        ASSERT_TRUE(WaitFor([&] { return console.readAll().contains("Main.Mute="); }, 1000));
    }
    EXPECT_FALSE(log.contains("connected to the MQTT broker"));
    bridge.kill();
    bridge.waitForFinished(5000);
}

// A broker of MQTT 3.1.1 alone: a 5.0 CONNECT gets the 3.1.1 refusal such a
// broker sends; a 3.1.1 one is passed on to the real broker.
TEST_F(BridgeTest, BrokerOfMqtt311AloneIsSpokenToIn311AndSaidOnce) {
    QTcpServer gate;
    ASSERT_TRUE(gate.listen(QHostAddress::LocalHost));
    std::vector<std::unique_ptr<QTcpSocket>> upstream;
    QObject::connect(&gate, &QTcpServer::newConnection, [&] {
        QTcpSocket* in = gate.nextPendingConnection();
        QTcpSocket* out = upstream.emplace_back(std::make_unique<QTcpSocket>()).get();
        QObject::connect(out, &QTcpSocket::readyRead, in, [in, out] { in->write(out->readAll()); });
        QObject::connect(in, &QTcpSocket::readyRead, out, [this, in, out] {
            if (out->state() == QAbstractSocket::UnconnectedState) {
                const QByteArray head = in->peek(16);  // type, length, "\0\4MQTT", level
                const qsizetype at = head.indexOf("MQTT");
                if (at < 0 || head.size() <= at + 4)
                    return;
                if (head[at + 4] == 5)
                    return (void)in->write(QByteArray("\x20\x02\x00\x01", 4)), in->close();
                out->connectToHost("127.0.0.1", static_cast<quint16>(m_broker.Port()));
            }
            out->write(in->readAll());
        });
    });
    m_sim = std::make_unique<SimProcess>(QStringList{"--baud", "0"}, SimProcess::Line::Pty);
    m_bridge = std::make_unique<BridgeProcess>(m_sim->LinkPath(), gate.serverPort());
    ASSERT_TRUE(WaitFor([&] { return Online() && !State("Main.Volume").isEmpty(); }, 30'000))
        << m_bridge->Log().constData();
    EXPECT_EQ(m_bridge->Log().count("refused MQTT 5; using MQTT 3.1.1"), 1);
}

}  // namespace
