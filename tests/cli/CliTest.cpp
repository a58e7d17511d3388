#include "LocalPort.h"
#include "PtyPeer.h"
#include "ScriptedReceiver.h"
#include "SettingsFile.h"
#include "SettingsStore.h"
#include "SimProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <memory>

namespace {

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray errors;
};

// Runs build/bin/ampdesk-cli with a profile folder of the test's own, so the
// default port and the COMn links are the test's.
class CliTest : public ::testing::Test {
protected:
    void Start(QProcess& process, const QStringList& arguments) const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", m_home.path());
        environment.insert("XDG_DATA_HOME", m_home.filePath("data"));
        process.setProcessEnvironment(environment);
        process.start(AMPDESK_CLI_PATH, arguments);
    }

    CliRun Run(const QStringList& arguments, const QByteArray& input = {}) const {
        QProcess process;
        Start(process, arguments);
        process.write(input);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(60000)) << "ampdesk-cli did not end";
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }

    QString PathOf(const QString& name) const { return m_home.filePath(name); }

    void LinkPort(int number, const QString& target) const {
        const QString folder = m_home.path() + "/Velmar/ports";
        QDir().mkpath(folder);
        QFile::link(target, QStringLiteral("%1/COM%2").arg(folder).arg(number));
    }

    static QList<QByteArray> SetCommands(const SimProcess& sim, qsizetype from) {
        QList<QByteArray> sets;
        const QList<QByteArray> received = sim.ReceivedCommands();
        for (qsizetype i = from; i < received.size(); ++i) {
            if (received[i].contains('='))
                sets << received[i];
        }
        return sets;
    }

    QTemporaryDir m_home;
};

TEST_F(CliTest, BackupDiffRestoreRoundTripOverTcp) {
    SimProcess sim({"--baud", "0"}, SimProcess::Line::Tcp);
    ASSERT_TRUE(sim.IsRunning());
    const QString port = sim.LinkPath();
    const QString backup = PathOf("rack.kvx");

    const CliRun saved = Run({"--port", port, "backup", backup});
    ASSERT_EQ(saved.exitCode, 0) << saved.errors.constData();
    // Not a terminal: no progress bar, nothing said.
    EXPECT_EQ(saved.errors, "");
    EXPECT_EQ(saved.out, "");

    // The file is what the window's Save Settings writes for the same store.
    SettingsStore store;
    ASSERT_TRUE(LoadFromFile(store, backup).recognised);
    EXPECT_EQ(store.LineCount(), 584);
    ASSERT_TRUE(SaveToFile(store, PathOf("window.kvx"), QByteArray()).ok);
    QFile cli(backup);
    QFile window(PathOf("window.kvx"));
    ASSERT_TRUE(cli.open(QIODevice::ReadOnly) && window.open(QIODevice::ReadOnly));
    EXPECT_EQ(cli.readAll(), window.readAll());

    const QByteArray volume = store.GetValue("Main.Volume");
    const QByteArray bass = store.GetValue("Main.Bass");
    ASSERT_NE(volume, "-35");
    ASSERT_NE(bass, "4");
    const CliRun changed = Run({"--port", port, "set", "Main.Volume=-35", "Main.Bass=4"});
    ASSERT_EQ(changed.exitCode, 0) << changed.out.constData() << changed.errors.constData();

    // The backup was kept as snapshot 1, which diff takes for the file.
    const CliRun listed = Run({"snapshots"});
    EXPECT_TRUE(listed.out.startsWith("  1  ") && listed.out.contains("ZA11"))
        << listed.out.constData();
    EXPECT_EQ(Run({"--port", port, "diff", "2"}).exitCode, 2);
    const CliRun diff = Run({"--port", port, "diff", "1"});
    EXPECT_EQ(diff.exitCode, 1);
    EXPECT_EQ(diff.out, "Main.Volume: " + volume + " -> -35\nMain.Bass: " + bass + " -> 4\n");

    const qsizetype mark = sim.ReceivedCommands().size();
    const CliRun restored = Run({"--port", port, "restore", backup, "--only-changed"});
    ASSERT_EQ(restored.exitCode, 0) << restored.out.constData() << restored.errors.constData();
    // Only the two lines that differ were written to the receiver.
    EXPECT_EQ(SetCommands(sim, mark),
              (QList<QByteArray>{"Main.Volume=" + volume, "Main.Bass=" + bass}));
    EXPECT_EQ(restored.out,
              "Main.Volume=" + volume + " (was -35)\nMain.Bass=" + bass + " (was 4)\n");

    const CliRun same = Run({"--port", port, "diff", backup});
    EXPECT_EQ(same.exitCode, 0);
    EXPECT_EQ(same.out, "");
}

TEST_F(CliTest, TextIsUtf8AndDashIsStandardInputOrOutput) {
    SimProcess sim({"--baud", "0"});
    const QString port = sim.LinkPath();
    const qsizetype mark = sim.ReceivedCommands().size();
    ASSERT_EQ(Run({"--port", port, "set", "Source1.Name=Café"}).exitCode, 0);
    // On the wire in the receiver's code page, shown as UTF-8.
    EXPECT_EQ(SetCommands(sim, mark), QList<QByteArray>{"Source1.Name=Caf\xE9"});
    EXPECT_EQ(Run({"--port", port, "get", "Source1.Name"}).out, "Source1.Name=Café\n");
    const QJsonObject got =
        QJsonDocument::fromJson(Run({"--port", port, "get", "--json", "Source1.Name"}).out)
            .object();
    EXPECT_EQ(got["values"].toObject()["Source1.Name"].toString(), "Café");

    const CliRun backup = Run({"--port", port, "backup", "-"});
    ASSERT_EQ(backup.exitCode, 0) << backup.errors.constData();
    EXPECT_TRUE(backup.out.startsWith("<ORVA Settings File>\r\n"));
    EXPECT_TRUE(backup.out.contains("\r\nSource1.Name=Caf\xE9\r\n"));
    EXPECT_TRUE(Run({"--port", port, "backup", "/dev/stdout"}).out.startsWith("<ORVA"));
    ASSERT_EQ(Run({"--port", port, "set", "Source1.Name=Crème"}).exitCode, 0);
    const CliRun diff = Run({"--port", port, "diff", "-"}, backup.out);
    EXPECT_EQ(diff.exitCode, 1) << diff.errors.constData();
    EXPECT_EQ(diff.out, "Source1.Name: Café -> Crème\n");
    const QJsonObject difference =
        QJsonDocument::fromJson(
            Run({"--port", port, "--json", "diff", "-"}, backup.out).out)["differences"][0]
            .toObject();
    EXPECT_EQ(difference,
              (QJsonObject{{"key", "Source1.Name"}, {"file", "Café"}, {"receiver", "Crème"}}));
    const CliRun restored = Run({"--port", port, "restore", "-", "--only-changed"}, backup.out);
    EXPECT_EQ(restored.out, "Source1.Name=Café (was Crème)\n") << restored.errors.constData();
}

// An 80-column terminal and a port name longer than that: every redraw of the
// progress line fits, so nothing scrolls.
TEST_F(CliTest, ProgressLineFitsTheTerminal) {
    SimProcess sim({"--baud", "0"});
    const QString port = PathOf("usb-FTDI_FT232R_USB_UART_A1234567-if00-port0-" + QString(40, 'x'));
    ASSERT_TRUE(QFile::link(sim.LinkPath(), port));
    PtyPeer terminal;
    const winsize size{24, 80, 0, 0};
    ASSERT_EQ(::ioctl(terminal.MasterFd(), TIOCSWINSZ, &size), 0);
    QProcess process;
    const QByteArray device = QFile::encodeName(terminal.DevicePath());
    process.setChildProcessModifier([device] {
        const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY);
        ::dup2(fd, STDERR_FILENO);
    });
    Start(process, {"--port", port, "backup", PathOf("b.kvx")});
    QByteArray shown;
    while (!process.waitForFinished(20))
        shown += terminal.ReadFor(std::chrono::milliseconds(0));
    shown += terminal.ReadFor(std::chrono::milliseconds(50));
    EXPECT_EQ(process.exitCode(), 0);
    ASSERT_TRUE(shown.contains("...x")) << shown.constData();
    for (const QByteArray& line : shown.replace('\n', '\r').split('\r')) {
        EXPECT_TRUE(!line.endsWith('%') || line.size() < 80) << line.constData();
    }
}

// All four programs share one way of reading their command line; --version and
// --help need neither a receiver nor a display.
TEST(ProgramCommandLine, EveryProgramAnswersVersionAndHelp) {
    const std::pair<const char*, const char*> programs[] = {
        {"ampdesk-cli", AMPDESK_CLI_PATH},
        {"ampdesk-bridge", AMPDESK_BRIDGE_PATH},
        {"ampdesk-receiver-sim", AMPDESK_SIM_PATH},
        {"ampdesk", AMPDESK_WINDOW_PATH},
    };
    for (const auto& [name, path] : programs) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        process.setProcessEnvironment(environment);
        for (const char* option : {"--version", "--help"}) {
            process.start(path, {option});
            ASSERT_TRUE(process.waitForFinished(10000)) << name;
            EXPECT_EQ(process.exitCode(), 0) << name << " " << option;
            const QByteArray out = process.readAllStandardOutput();
            EXPECT_TRUE(QByteArray(option) == "--help"
                            ? out.startsWith(QByteArray("Usage: ") + name + " ")
                            : out == QByteArray(name) + " " AMPDESK_VERSION "\n")
                << name << ": " << out.constData();
        }
    }
}

// The bash completions, sourced into a real bash and asked as bash asks them.
TEST(ProgramCommandLine, BashCompletesCommandsAndOptions) {
    struct Row {
        const char* program;
        const char* words;  // the last word is the one being completed
        const char* expected;
    };
    const Row rows[] = {
        {"ampdesk-cli", "ampdesk-cli --port COM3 ba", "backup"},
        {"ampdesk-cli", "ampdesk-cli get --j", "--json"},
        {"ampdesk-cli", "ampdesk-cli --port COM", "COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9"},
        {"ampdesk-cli", "ampdesk-cli snapshots s", ""},
        {"ampdesk-bridge", "ampdesk-bridge --port COM1 --mqtt-p", "--mqtt-password-file"},
    };
    for (const Row& row : rows) {
        QProcess bash;
        bash.start("bash",
                   {"-c", QStringLiteral("source %1/%2 && COMP_WORDS=(%3) && "
                                         "COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && "
                                         "$(complete -p %2 | sed 's/.*-F \\([^ ]*\\).*/\\1/') && "
                                         "echo \"${COMPREPLY[*]}\"")
                              .arg(AMPDESK_COMPLETIONS, row.program, row.words)});
        ASSERT_TRUE(bash.waitForFinished(10000));
        EXPECT_EQ(bash.readAllStandardOutput(), QByteArray(row.expected) + "\n")
            << row.words << bash.readAllStandardError().constData();
    }
}

TEST_F(CliTest, FullRestoreSendsEveryLine) {
    SimProcess sim({"--baud", "0"});
    SettingsStore defaults;
    defaults.ResetToDefaults();
    ASSERT_TRUE(SaveToFile(defaults, PathOf("defaults.kvx"), QByteArray()).ok);
    const CliRun run = Run({"--port", sim.LinkPath(), "restore", PathOf("defaults.kvx")});
    EXPECT_EQ(run.exitCode, 0) << run.out.constData();
    EXPECT_EQ(SetCommands(sim, 0).size(), defaults.LineCount());
}

// Two commands share the wire unless --lockstep or the profile says otherwise;
// the simulator's log shows a query received before the last one's answer left.
TEST_F(CliTest, LockstepOptionAndProfileKeepOneCommandOnTheWire) {
    const struct {
        const char* name;
        QStringList options;
        QByteArray profile;
        bool overlaps;
    } cases[] = {
        {"Default", {}, {}, true},
        {"Option", {"--lockstep"}, {}, false},
        {"Profile", {}, "[Link]\nPipeline=off\n", false},
    };
    for (const auto& c : cases) {
        QDir().mkpath(m_home.filePath("Velmar"));
        QFile profile(m_home.filePath("Velmar/Ampdesk.ini"));
        ASSERT_TRUE(profile.open(QIODevice::WriteOnly | QIODevice::Truncate));
        profile.write(c.profile);
        profile.close();
        SimProcess sim({"--baud", "0", "--latency-ms", "1"});
        const CliRun run =
            Run(c.options + QStringList{"--port", sim.LinkPath(), "backup", PathOf("b.kvx")});
        EXPECT_EQ(run.exitCode, 0) << c.name << run.errors.constData();
        bool overlaps = false;
        QByteArray last;
        for (const QByteArray& line : sim.Log().split('\n')) {
            const QByteArray tag = line.split(' ').value(1);
            overlaps = overlaps || (tag == "R" && last == "R");
            last = tag == "R" || tag == "S" ? tag : last;
        }
        EXPECT_EQ(overlaps, c.overlaps) << c.name;
    }
}

TEST_F(CliTest, ComPortAndDefaultAutoDetectGoThroughTheProfile) {
    SimProcess sim({"--baud", "0", "--model", "ZA08"});
    LinkPort(1, PathOf("missing-1"));
    LinkPort(2, PathOf("missing-2"));
    LinkPort(3, sim.LinkPath());

    const CliRun get = Run({"--port", "COM3", "get", "Main.Model", "Main.Power"});
    EXPECT_EQ(get.exitCode, 0) << get.errors.constData();
    EXPECT_EQ(get.out, "Main.Model=ZA08\nMain.Power=On\n");

    // No --port: the window's remembered choice, by default Auto-Detect.
    const CliRun model = Run({"model"});
    EXPECT_EQ(model.exitCode, 0);
    EXPECT_EQ(model.out, "ZA08\n");
    EXPECT_TRUE(model.errors.contains("COM1: Cannot open")) << model.errors.constData();
}

TEST_F(CliTest, LostMidBackupWritesNoFile) {
    // Paced like the real line, so the read lasts seconds.
    auto sim = std::make_unique<SimProcess>(QStringList{"--baud", "115200"}, SimProcess::Line::Tcp);
    const QString backup = PathOf("partial.kvx");
    QProcess process;
    Start(process, {"--port", sim->LinkPath(), "backup", backup});
    QDeadlineTimer deadline(10000);
    while (sim->ReceivedCommands().size() < 10 && !deadline.hasExpired())
        QThread::msleep(20);
    sim->Stop();
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 4);
    EXPECT_TRUE(process.readAllStandardError().contains("the device server closed the connection"));
    EXPECT_FALSE(QFile::exists(backup));
}

TEST_F(CliTest, LostMidRestoreStillListsWhatWasNotSent) {
    SimProcess sim({"--baud", "115200"}, SimProcess::Line::Tcp);
    QStringList arguments{"--port", sim.LinkPath(), "set"};
    for (int n = 0; n < 400; ++n)
        arguments << QStringLiteral("Main.Volume=-%1").arg(n % 80);
    QProcess process;
    Start(process, arguments);
    QDeadlineTimer deadline(10000);
    while (sim.ReceivedCommands().size() < 10 && !deadline.hasExpired())
        QThread::msleep(20);
    sim.Stop();
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 4);
    EXPECT_TRUE(process.readAllStandardOutput().contains(" not sent: the connection was lost."));
}

enum class Receiver { None, Answering, Silent, UnknownModel, Lacking };

// A receiver without two of the catalogued settings, whose power value holds
// an ESC sequence.
ScriptedReceiver::Answer LackingReceiver(const QByteArray& command, int) {
    if (command == "Main.Model?")
        return "Main.Model=ZA11";
    if (command == "MAIN.Mute?" || command == "MAIN.Dimmer?")
        return {};
    if (command == "Main.Power?")
        return "Main.Power=On\x1b[2J";
    return command.chopped(1) + "=1";
}

TEST_F(CliTest, PartialBackupIsAPartialSnapshot) {
    ScriptedReceiver receiver(LackingReceiver);
    EXPECT_EQ(Run({"--port", receiver.DevicePath(), "backup", PathOf("p.kvx")}).exitCode, 1);
    const QJsonValue listed =
        QJsonDocument::fromJson(Run({"snapshots", "--json"}).out)["snapshots"][0];
    EXPECT_TRUE(listed["partial"].toBool());
    EXPECT_TRUE(listed["path"].toString().endsWith("Z-partial.kvx"));
    EXPECT_TRUE(Run({"snapshots"}).out.contains(" partial "));
}

struct ExitCase {
    const char* name;
    Receiver receiver;
    QStringList arguments;  // "PORT" stands for the receiver's port
    int exitCode;
    const char* errorPart;
    const char* out;
};

const ExitCase kExitCases[] = {
    {"HelpIsOk", Receiver::None, {"--help"}, 0, "", nullptr},
    {"ModelIsOk", Receiver::Answering, {"--port", "PORT", "model"}, 0, "", "ZA11\n"},
    {"NoCommandIsUsage", Receiver::None, {}, 2, "no command given", ""},
    {"BadKeyIsUsage", Receiver::None, {"get", "Main.Volume?"}, 2, "not a setting key", ""},
    {"UnreadableFileIsUsage",
     Receiver::Answering,
     {"--port", "PORT", "restore", "/nonexistent/rack.kvx"},
     2,
     "Cannot open the settings file /nonexistent/rack.kvx.",
     ""},
    {"DeviceFileIsUsage",
     Receiver::None,
     {"--port", "/nonexistent/ttyUSB7", "diff", "/dev/zero"},
     2,
     "/dev/zero is not a regular file",
     ""},
    {"ControlCharactersInAPortAreShownEscaped",
     Receiver::None,
     {"--port", "/nonexistent/a\x1b[2J\r", "model"},
     3,
     "Cannot open /nonexistent/a\\x1b[2J\\r",
     ""},
    {"LongPortIsCut",
     Receiver::None,
     {"--port", "/nonexistent/" + QString(5000, QLatin1Char('p')), "model"},
     3,
     "... (4",
     ""},
    {"MissingDeviceCannotOpen",
     Receiver::None,
     {"--port", "/nonexistent/ttyUSB7", "model"},
     3,
     "Cannot open /nonexistent/ttyUSB7: no such device",
     ""},
    {"RefusedServerCannotOpen",
     Receiver::None,
     {"--port", "REFUSING", "model"},
     3,
     "connection refused",
     ""},
    {"SilentReceiverIsNoReceiver",
     Receiver::Silent,
     {"--port", "PORT", "backup", "never.kvx"},
     4,
     "no receiver answered on",
     ""},
    {"UnknownModelIsNoReceiver",
     Receiver::UnknownModel,
     {"--port", "PORT", "model"},
     4,
     "\"ZZ99\", which is not a known Velmar model",
     "ZZ99\n"},
    {"RejectedSetIsAFailedLine",
     Receiver::Answering,
     {"--port", "PORT", "set", "Main.Volume=banana"},
     1,
     "",
     "1 setting(s) sent: 0 confirmed, 1 kept differently by the receiver.\n"
     "Main.Volume=banana: the receiver kept -20\n"},
    {"PartialBackupIsAFailure",
     Receiver::Lacking,
     {"--port", "PORT", "backup", "partial.kvx"},
     1,
     "2 of 584 settings did not answer and are left out",
     ""},
    {"ControlBytesOfAValueAreShownEscaped",
     Receiver::Lacking,
     {"--port", "PORT", "get", "Main.Power"},
     0,
     "",
     "Main.Power=On\\x1B[2J\n"},
    {"UnansweredGetIsAFailedLine",
     Receiver::Answering,
     {"--port", "PORT", "get", "Main.Nothing", "Main.Power"},
     1,
     "Main.Nothing: no answer",
     "Main.Power=On\n"},
};

void PrintTo(const ExitCase& row, std::ostream* out) {
    *out << row.name;
}

class CliExitTest : public CliTest, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(CliExitTest, ExitsWithItsCode) {
    const ExitCase& row = GetParam();
    std::unique_ptr<SimProcess> sim;
    if (row.receiver == Receiver::Answering)
        sim = std::make_unique<SimProcess>(QStringList{"--baud", "0"});
    if (row.receiver == Receiver::Silent)
        sim = std::make_unique<SimProcess>(QStringList{"--baud", "0", "--silent"});
    if (row.receiver == Receiver::UnknownModel)
        sim = std::make_unique<SimProcess>(QStringList{"--baud", "0", "--model", "ZZ99"});
    std::unique_ptr<ScriptedReceiver> scripted;
    if (row.receiver == Receiver::Lacking)
        scripted = std::make_unique<ScriptedReceiver>(LackingReceiver);

    QStringList arguments = row.arguments;
    for (QString& argument : arguments) {
        if (argument == "PORT")
            argument = scripted ? scripted->DevicePath() : sim->LinkPath();
        if (argument == "REFUSING")
            argument = RefusingTcpTarget();
        if (argument == "never.kvx")
            argument = PathOf(argument);
    }
    const CliRun run = Run(arguments);
    EXPECT_EQ(run.exitCode, row.exitCode) << run.errors.constData();
    EXPECT_TRUE(run.errors.contains(row.errorPart)) << run.errors.constData();
    if (row.out != nullptr) {
        EXPECT_EQ(run.out, row.out);
    }
    EXPECT_FALSE(QFile::exists(PathOf("never.kvx")));
}

INSTANTIATE_TEST_SUITE_P(Rows, CliExitTest, ::testing::ValuesIn(kExitCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
