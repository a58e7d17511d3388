#include "PortClient.h"
#include "SimProcess.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Instant line unless pacing is the point.
QStringList Args(QStringList extra) {
    if (!extra.contains("--baud"))
        extra << "--baud"
              << "0";
    return extra;
}

// Waits until the simulator's log holds `text` (signals arrive asynchronously),
// woken by each write to the log.
bool WaitForLog(const SimProcess& sim, const QByteArray& text) {
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ::inotify_add_watch(watch, QFile::encodeName(sim.LogPath()).constData(), IN_MODIFY);
    const Clock::time_point deadline = Clock::now() + 3s;
    bool found = sim.Log().contains(text);
    while (!found && Clock::now() < deadline) {
        pollfd fd{watch, POLLIN, 0};
        ::poll(&fd, 1, 100);
        char events[4096];
        while (::read(watch, events, sizeof events) > 0) {
        }
        found = sim.Log().contains(text);
    }
    ::close(watch);
    return found;
}

struct ModelCase {
    QStringList args;
    const char* answer;
};

TEST(SimWire, ModelAnswerNamesTheModelAsGiven) {
    const ModelCase cases[] = {
        {{}, "Main.Model=ZA11"},
        {{"--model", "za04"}, "Main.Model=za04"},
    };
    for (const ModelCase& row : cases) {
        SimProcess sim(Args(row.args));
        ASSERT_TRUE(sim.IsRunning());
        PortClient port(sim.LinkPath());
        ASSERT_TRUE(port.IsOpen());
        port.Send("Main.Model?");
        EXPECT_EQ(port.ReadLine(), row.answer);
    }
}

struct KeyCase {
    const char* model;
    const char* query;
    const char* answer;  // nullptr: silence
};

TEST(SimWire, MissingKeysStaySilentAndPresentKeysAnswer) {
    const KeyCase cases[] = {
        {"ZA11", "Main.SpeakerA?", "Main.SpeakerA=On"},
        {"ZA08", "Main.SpeakerA?", nullptr},
        {"ZA04", "Main.Audyssey?", nullptr},
        {"ZA04", "main.VOLUME?", "Main.Volume=-20"},
    };
    for (const KeyCase& row : cases) {
        SimProcess sim(Args({"--model", row.model}));
        PortClient port(sim.LinkPath());
        ASSERT_TRUE(port.IsOpen());
        port.Send(row.query);
        // The next line answers a query that always exists: a lacked key said nothing.
        port.Send("Main.Source?");
        if (row.answer) {
            EXPECT_EQ(port.ReadLine(), row.answer) << row.model << row.query;
        }
        EXPECT_EQ(port.ReadLine(), "Main.Source=1") << row.model << row.query;
    }
}

TEST(SimWire, AnswersAreFramedWithALeadingCrUnlessTurnedOff) {
    {
        SimProcess sim(Args({}));
        PortClient port(sim.LinkPath());
        port.Send("Main.Volume=200");
        EXPECT_EQ(port.ReadBytes(16, 3s), "\rMain.Volume=16\r");
    }
    {
        SimProcess sim(Args({"--no-leading-cr"}));
        PortClient port(sim.LinkPath());
        port.Send("Main.Volume+");
        EXPECT_EQ(port.ReadBytes(16, 3s), "Main.Volume=-19\r");
    }
}

TEST(SimWire, SetsAndStepsReportTheHeldValue) {
    SimProcess sim(Args({}));
    PortClient port(sim.LinkPath());
    port.Send("Main.Volume=200");
    EXPECT_EQ(port.ReadLine(), "Main.Volume=16");
    port.Send("Main.Audyssey=Loud");
    EXPECT_EQ(port.ReadLine(), "Main.Audyssey=Off");
    port.Send("Main.Volume-");
    EXPECT_EQ(port.ReadLine(), "Main.Volume=15");
    port.Send("Tuner.Band=AM");
    EXPECT_EQ(port.ReadLines(2), (QList<QByteArray>{"Tuner.Band=AM", "Tuner.AM.Frequency=1000"}));
    port.Send("Main.IR=212");
    EXPECT_EQ(port.ReadLine(), "Tuner.AM.Frequency=1010");
    EXPECT_EQ(sim.ReceivedCommands(),
              (QList<QByteArray>{"Main.Volume=200", "Main.Audyssey=Loud", "Main.Volume-",
                                 "Tuner.Band=AM", "Main.IR=212"}));
}

TEST(SimWire, TunerQuerySendsAllElevenTunerLines) {
    SimProcess sim(Args({}));
    PortClient port(sim.LinkPath());
    port.Send("Tuner?");
    const QList<QByteArray> lines = port.ReadLines(11);
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines.first(), "Tuner.Band=FM");
    EXPECT_EQ(lines.last(), "Tuner.XM.Title=Blue Harbour");
}

TEST(SimWire, ByteCountsMatchWhatCrossedTheWire) {
    SimProcess sim(Args({}));
    PortClient port(sim.LinkPath());
    const QByteArray commands = "\rMain.Model?\r\n\r\rMain.Volume?\r";
    port.Write(commands);
    EXPECT_EQ(port.ReadLines(2), (QList<QByteArray>{"Main.Model=ZA11", "Main.Volume=-20"}));
    EXPECT_EQ(sim.BytesReceived(), commands.size());
    EXPECT_EQ(sim.BytesSent(), QByteArray("\rMain.Model=ZA11\r\rMain.Volume=-20\r").size());
}

TEST(SimWire, OverlongCommandIsDroppedAndTheLineKeepsWorking) {
    SimProcess sim(Args({}));
    PortClient port(sim.LinkPath());
    port.Write("\r" + QByteArray(5000, 'A') + "\r");
    port.Send("Main.Model?");
    EXPECT_EQ(port.ReadLine(), "Main.Model=ZA11");
    EXPECT_TRUE(sim.Log().contains("command of 5000 bytes dropped"));
    EXPECT_EQ(sim.ReceivedCommands(), QList<QByteArray>{"Main.Model?"});
}

TEST(SimWire, SilenceByOptionAndBySignalReadsButNeverAnswers) {
    SimProcess sim(Args({"--silent"}));
    PortClient port(sim.LinkPath());
    port.Send("Main.Source?");
    EXPECT_EQ(port.ReadLine(300ms), "");
    EXPECT_EQ(sim.ReceivedCommands(), QList<QByteArray>{"Main.Source?"});

    sim.Signal(SIGUSR1);
    ASSERT_TRUE(WaitForLog(sim, "silent off"));
    port.Send("Main.Source?");
    EXPECT_EQ(port.ReadLine(), "Main.Source=1");

    sim.Signal(SIGUSR1);
    ASSERT_TRUE(WaitForLog(sim, "silent on"));
    port.Send("Main.Source?");
    EXPECT_EQ(port.ReadLine(300ms), "");
}

TEST(SimWire, AnswerAtBaudRateTakesAtLeastItsWireTime) {
    SimProcess sim({"--baud", "115200"});
    PortClient port(sim.LinkPath());
    const QByteArray command = "\rMain?\r";
    const Clock::time_point start = Clock::now();
    port.Write(command);
    // The Main section dump is some 2 kB; read until the wire has been quiet.
    QList<QByteArray> lines;
    for (QByteArray line; !(line = port.ReadLine(300ms)).isEmpty();)
        lines.append(line);
    const auto elapsed = Clock::now() - start;
    ASSERT_GT(lines.size(), 70);
    const qint64 wireBytes = sim.BytesSent() + command.size();
    ASSERT_GT(wireBytes, 1024);
    const auto wireTime = std::chrono::microseconds(wireBytes * 10'000'000 / 115200);
    EXPECT_GE(elapsed, wireTime) << wireBytes << " bytes";
}

TEST(SimWire, LatencyDelaysEveryAnswer) {
    SimProcess sim(Args({"--latency-ms", "150"}));
    PortClient port(sim.LinkPath());
    const Clock::time_point start = Clock::now();
    port.Send("Main.Model?");
    EXPECT_EQ(port.ReadLine(), "Main.Model=ZA11");
    EXPECT_GE(Clock::now() - start, 150ms);
}

TEST(SimWire, StateSurvivesARestart) {
    QTemporaryDir folder;
    const QString state = folder.filePath("receiver.kvx");
    {
        SimProcess sim(Args({"--state", state}));
        PortClient port(sim.LinkPath());
        port.Send("Main.Volume=-30");
        EXPECT_EQ(port.ReadLine(), "Main.Volume=-30");
        port.Send("Source2.Name=Turntable");
        EXPECT_EQ(port.ReadLine(), "Source2.Name=Turntable");
    }
    ASSERT_TRUE(QFile::exists(state));
    SimProcess sim(Args({"--state", state, "--model", "ZA08"}));
    PortClient port(sim.LinkPath());
    port.Send("Main.Volume?");
    EXPECT_EQ(port.ReadLine(), "Main.Volume=-30");
    port.Send("Source2.Name?");
    EXPECT_EQ(port.ReadLine(), "Source2.Name=Turntable");
    port.Send("Main.Model?");
    EXPECT_EQ(port.ReadLine(), "Main.Model=ZA08");
}

TEST(SimWire, LinkIsRemovedWhenStoppedBySignal) {
    for (int signalNumber : {SIGTERM, SIGINT}) {
        SimProcess sim(Args({}));
        ASSERT_TRUE(QFile::exists(sim.LinkPath()));
        sim.Signal(signalNumber);
        sim.Stop();
        EXPECT_FALSE(QFile::exists(sim.LinkPath())) << signalNumber;
        EXPECT_FALSE(QFileInfo(sim.LinkPath()).isSymLink()) << signalNumber;
    }
}

TEST(SimWire, ConsoleCanOpenCloseAndReopenTheExclusiveLine) {
    SimProcess sim(Args({}));
    for (int round = 0; round < 3; ++round) {
        PortClient port(sim.LinkPath());
        ASSERT_TRUE(port.IsOpen()) << round;
        ASSERT_EQ(::ioctl(port.Fd(), TIOCEXCL), 0);
        port.Send("Main.Model?");
        EXPECT_EQ(port.ReadLine(), "Main.Model=ZA11") << round;
    }
}

TEST(SimWire, FrontPanelReportsChangesUnasked) {
    SimProcess sim(Args({"--front-panel-ms", "20"}));
    PortClient port(sim.LinkPath());
    const QByteArray line = port.ReadLine();
    EXPECT_TRUE(line.contains('=')) << line.constData();
    EXPECT_TRUE(sim.ReceivedCommands().isEmpty());
}

struct LogEvent {
    double ms = 0;
    QByteArray text;  // "<tag> <text>"
};

// The log's lines in the order written, each with its time on the wire.
QList<LogEvent> LogEvents(const SimProcess& sim) {
    QList<LogEvent> events;
    for (const QByteArray& line : sim.Log().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() >= 4)
            events.append({fields[0].toDouble(), fields[1] + ' ' + fields.mid(3).join(' ')});
    }
    return events;
}

// Changes made at the front panel while nobody had the line open are not sent
// when the console opens it: it would have to wade through all of them first.
TEST(SimWire, FrontPanelLinesBeforeTheFirstOpenAreDropped) {
    SimProcess sim({"--front-panel-ms", "1", "--baud", "115200"});
    // The front panel's clock runs while the line is closed.
    ASSERT_TRUE(WaitForLog(sim, "front panel unheard, line closed"));
    PortClient port(sim.LinkPath());
    ASSERT_TRUE(port.IsOpen());
    port.Send("Main.Model?");
    for (QByteArray line; (line = port.ReadLine()) != "Main.Model=ZA11";)
        ASSERT_FALSE(line.isEmpty()) << "no answer";
    const QList<LogEvent> events = LogEvents(sim);
    qsizetype opened = 0;
    while (opened < events.size() && events[opened].text != "N line opened")
        ++opened;
    ASSERT_LT(opened, events.size());
    for (qsizetype i = 0; i < opened; ++i)
        EXPECT_FALSE(events[i].text.startsWith("S ")) << events[i].text.constData();
}

// A flood of front-panel lines at the line's full rate: every answer still
// leaves right after the one line already on the wire.
TEST(SimWire, AnswersGoAheadOfAFrontPanelFlood) {
    SimProcess sim({"--front-panel-ms", "1", "--baud", "115200"});
    PortClient port(sim.LinkPath());
    ASSERT_TRUE(port.IsOpen());
    for (int round = 0; round < 20; ++round) {
        port.Send("Main.Model?");
        for (QByteArray line; (line = port.ReadLine()) != "Main.Model=ZA11";)
            ASSERT_FALSE(line.isEmpty()) << "no answer in round " << round;
    }
    // Lines that finished leaving between a question and its answer.
    const QList<LogEvent> events = LogEvents(sim);
    int answers = 0;
    for (qsizetype i = 0; i < events.size(); ++i) {
        if (events[i].text != "R Main.Model?")
            continue;
        qsizetype answer = i + 1;
        while (answer < events.size() && events[answer].text != "S Main.Model=ZA11")
            ++answer;
        ASSERT_LT(answer, events.size());
        int linesBetween = 0;
        for (const LogEvent& event : events) {
            if (event.text.startsWith("S ") && event.ms > events[i].ms &&
                event.ms < events[answer].ms) {
                ++linesBetween;
            }
        }
        EXPECT_LE(linesBetween, 1) << "answer " << answers;
        ++answers;
    }
    EXPECT_EQ(answers, 20);
}

// A writer faster than 115200 baud is held back as by a real line: the
// simulator takes bytes no faster than they cross the wire, so the terminal
// fills and the writer has to wait.
TEST(SimWire, FastWriterMeetsTheLinePace) {
    SimProcess sim({"--silent", "--baud", "115200"});
    PortClient port(sim.LinkPath());
    ASSERT_TRUE(port.IsOpen());
    const QByteArray burst = QByteArray("\rMain.Volume?\r").repeated(64);
    qint64 accepted = 0;
    const Clock::time_point end = Clock::now() + 300ms;
    while (Clock::now() < end) {
        const ssize_t n = ::write(port.Fd(), burst.constData(), burst.size());
        if (n > 0) {
            accepted += n;
        } else {
            pollfd fd{port.Fd(), POLLOUT, 0};
            ::poll(&fd, 1, 10);
        }
    }
    // 300 ms of wire is 3456 bytes; the terminal holds a few kilobytes more.
    EXPECT_LT(accepted, 64 * 1024) << accepted << " bytes taken";
    EXPECT_GT(accepted, 0);
}

}  // namespace

namespace {

TEST(SimWire, PortOutOfRangeIsAUsageError) {
    QProcess sim;
    sim.start(AMPDESK_SIM_PATH, {"--tcp", "99999"});
    ASSERT_TRUE(sim.waitForFinished(10000));
    EXPECT_EQ(sim.exitCode(), 2) << sim.readAllStandardError().constData();
}

// A client on the TCP line that writes as fast as it can and never reads: the
// simulator must keep answering its signals (and not hoard what it reads).
TEST(SimWire, ClientThatNeverReadsCannotHoldOffSigterm) {
    SimProcess sim({"--baud", "0", "--silent", "--log", "/dev/null"}, SimProcess::Line::Tcp);
    ASSERT_TRUE(sim.IsRunning());
    const QUrl url(sim.LinkPath());
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(url.port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    std::atomic<qint64> written{0};
    std::atomic<Clock::time_point> refused{};
    std::thread writer([&] {
        const QByteArray flood = QByteArray("Main.Volume?\r").repeated(4096);
        const Clock::time_point giveUp = Clock::now() + 10s;
        while (Clock::now() < giveUp) {
            const ssize_t n = ::send(fd, flood.constData(), flood.size(), MSG_NOSIGNAL);
            if (n <= 0)
                break;
            written += n;
        }
        refused = Clock::now();
    });
    while (written < 16 * 1024 * 1024 && refused.load() == Clock::time_point{})
        std::this_thread::yield();
    const Clock::time_point signalled = Clock::now();
    sim.Signal(SIGTERM);
    writer.join();
    ::close(fd);
    EXPECT_LT(refused.load() - signalled, 1s) << written << " bytes written";
}

}  // namespace
