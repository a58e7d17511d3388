// The console as a user runs it: build/bin/ampdesk-dev (the same window with the
// developer aids) started against the receiver simulator on a line paced at
// 115200 baud, connected through its AMPDESK_AUTOCONNECT aid (Control tab shown) and measured from
// outside through /proc: start-up time, the connection (model check and bulk read) against the
// wire time of its bytes, memory after connecting, processor time while idle and while the
// receiver floods it with status lines.
//
// Under X (DISPLAY set) the window is drawn by the X server; otherwise on Qt's
// offscreen platform. AMPDESK_BENCH_IDLE_SECONDS and AMPDESK_BENCH_FLOOD_SECONDS
// shorten or lengthen the two measurements (10 and 30 s).

#include "ProcessMeter.h"
#include "SimProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kConnectTimeoutMs = 60'000;
constexpr double kBitsPerByte = 10.0;  // start, 8 data, stop
constexpr double kBaud = 115200.0;
// Lets the first repaints after connecting settle before a measurement starts.
constexpr unsigned long kSettleMs = 2000;

int SecondsFromEnvironment(const char* name, int fallback) {
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

void Print(const char* name, double value) {
    std::printf("%s: %.3f\n", name, value);
    std::fflush(stdout);
}

// One running console with a profile of its own, in which COM1 is the simulator.
class Console {
public:
    explicit Console(const SimProcess& sim) {
        const QString ports = m_profile.path() + QStringLiteral("/Velmar/ports");
        QDir().mkpath(ports);
        QFile::link(sim.LinkPath(), ports + QStringLiteral("/COM1"));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_profile.path());
        // The snapshot kept at each connection stays in the run's own folder.
        environment.insert(QStringLiteral("XDG_DATA_HOME"),
                           m_profile.path() + QStringLiteral("/data"));
        environment.insert(QStringLiteral("AMPDESK_AUTOCONNECT"), QStringLiteral("COM1"));
        if (!environment.contains(QStringLiteral("DISPLAY")) &&
            !environment.contains(QStringLiteral("QT_QPA_PLATFORM"))) {
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        }
        m_process.setProcessEnvironment(environment);
        // The platform's chatter stays out of the figures; it is shown on failure.
        m_process.setStandardErrorFile(m_profile.filePath(QStringLiteral("stderr.txt")));
    }

    ~Console() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // Starts the program; false when it did not show its window.
    bool Start() {
        m_started = Clock::now();
        m_process.start(QStringLiteral(AMPDESK_CONSOLE_PATH), {});
        if (!m_process.waitForStarted(10'000))
            return false;
        if (ReadLine(kConnectTimeoutMs) != "shown")
            return false;
        m_shownAt = Clock::now();
        m_shownMs = std::chrono::duration<double, std::milli>(m_shownAt - m_started).count();
        return true;
    }

    bool WaitConnected() {
        const QByteArray line = ReadLine(kConnectTimeoutMs);
        if (line != "connected") {
            std::fprintf(stderr, "bench_console: %s\n", line.constData());
            QFile errors(m_profile.filePath(QStringLiteral("stderr.txt")));
            if (errors.open(QIODevice::ReadOnly))
                std::fprintf(stderr, "%s", errors.readAll().constData());
            return false;
        }
        m_connectMs = std::chrono::duration<double, std::milli>(Clock::now() - m_shownAt).count();
        return true;
    }

    double ShownMs() const { return m_shownMs; }
    // From the moment the window asked to connect to "Connected to ...".
    double ConnectMs() const { return m_connectMs; }
    qint64 Pid() const { return m_process.processId(); }

private:
    QByteArray ReadLine(int timeoutMs) {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!m_process.canReadLine()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0 || m_process.state() != QProcess::Running)
                return "no answer from the console";
            m_process.waitForReadyRead(static_cast<int>(left.count()));
        }
        return m_process.readLine().trimmed();
    }

    QTemporaryDir m_profile;
    QProcess m_process;
    Clock::time_point m_started;
    Clock::time_point m_shownAt;
    double m_shownMs = 0;
    double m_connectMs = 0;
};

// The wire time of the connection: every command and answer in the simulator's
// log ("<ms> <tag> <wire bytes> <text>") before the tuner query that follows the read.
double ConnectWireMs(const SimProcess& sim) {
    qint64 bytes = 0;
    for (const QByteArray& line : sim.Log().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 4 || (fields[1] != "R" && fields[1] != "S"))
            continue;
        if (fields[1] == "R" && fields[3] == "Tuner?")
            break;
        bytes += fields[2].toLongLong();
    }
    return static_cast<double>(bytes) * kBitsPerByte / kBaud * 1000.0;
}

std::unique_ptr<SimProcess> StartSim(const QStringList& extraArgs) {
    QStringList args = {QStringLiteral("--model"), QStringLiteral("ZA11"), QStringLiteral("--baud"),
                        QStringLiteral("115200")};
    args += extraArgs;
    auto sim = std::make_unique<SimProcess>(args);
    if (!sim->IsRunning()) {
        std::fprintf(stderr, "bench_console: the receiver simulator did not start\n");
        return nullptr;
    }
    return sim;
}

bool MeasureQuiet(int idleSeconds) {
    const std::unique_ptr<SimProcess> sim = StartSim({});
    if (!sim)
        return false;
    Console console(*sim);
    if (!console.Start() || !console.WaitConnected())
        return false;
    Print("startup_ms", console.ShownMs());
    Print("window_connect_ms", console.ConnectMs());
    // Against both directions' bytes one after the other: two commands on
    // the wire bring it under 1.
    Print("window_connect_lockstep_floor_ratio", console.ConnectMs() / ConnectWireMs(*sim));

    QThread::msleep(kSettleMs);
    const ProcessMeter meter(console.Pid());
    Print("rss_mb", meter.ResidentMegabytes());
    const ProcessMeter::Sample before = meter.Take();
    QThread::sleep(static_cast<unsigned long>(idleSeconds));
    const ProcessMeter::Sample after = meter.Take();
    Print("idle_cpu_percent", ProcessMeter::CpuPercent(before, after));
    Print("idle_wakeups_per_second", ProcessMeter::SwitchesPerSecond(before, after));
    return true;
}

bool MeasureFlood(int floodSeconds) {
    // A front-panel change every millisecond: more than the line carries, so
    // the simulator sends status lines back to back at the full line rate.
    const std::unique_ptr<SimProcess> sim = StartSim({"--front-panel-ms", "1"});
    if (!sim)
        return false;
    Console console(*sim);
    if (!console.Start() || !console.WaitConnected())
        return false;

    QThread::msleep(kSettleMs);
    const ProcessMeter meter(console.Pid());
    const qsizetype linesBefore = sim->SentLines().size();
    const ProcessMeter::Sample before = meter.Take();
    QThread::sleep(static_cast<unsigned long>(floodSeconds));
    const ProcessMeter::Sample after = meter.Take();
    const qsizetype lines = sim->SentLines().size() - linesBefore;

    const double seconds = ProcessMeter::Seconds(before, after);
    Print("status_flood_cpu_percent", ProcessMeter::CpuPercent(before, after));
    Print("status_flood_lines_per_second", static_cast<double>(lines) / seconds);
    if (lines > 0) {
        Print("status_flood_us_per_line",
              ProcessMeter::CpuSeconds(before, after) * 1e6 / static_cast<double>(lines));
    }
    Print("status_flood_rss_mb", meter.ResidentMegabytes());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int idleSeconds = SecondsFromEnvironment("AMPDESK_BENCH_IDLE_SECONDS", 10);
    const int floodSeconds = SecondsFromEnvironment("AMPDESK_BENCH_FLOOD_SECONDS", 30);
    if (!MeasureQuiet(idleSeconds))
        return 1;
    if (!MeasureFlood(floodSeconds))
        return 1;
    return 0;
}
