// ampdesk-bridge as a service runs it, against a local mosquitto broker:
//   bridge_status_latency_ms   a status line's last byte written by a receiver
//                              stand-in paced like a 115200-baud line to its
//                              publish arriving at a subscriber, 99th
//                              percentile of 500
//   broker_only_latency_ms     the same spacing and percentile between two
//                              plain clients through the same broker: what
//                              the broker and the MQTT client take by themselves
//   bridge_flood_cpu_percent   the bridge's processor share while the simulator
//                              reports front-panel changes back to back
//   bridge_rss_mb              resident memory, connected
//   bridge_shared_bulk_ratio   ampdesk-cli's backup (a full read) through the
//                              bridge's --listen port, over the same backup
//                              straight on the simulator; medians of five

#include "BridgeHarness.h"
#include "ProcessMeter.h"
#include "PtyPeer.h"
#include "SimProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void Print(const char* name, double value) {
    std::printf("%s: %.3f\n", name, value);
    std::fflush(stdout);
}

bool Online(const Subscriber& sub) {
    return sub.Last("ampdesk/test/availability") == "online";
}

// A receiver stand-in on a pseudo-terminal: it answers every query with a
// value (the read is quick) and, when told, speaks a line of its own accord a
// byte at a time, as a 115200-baud line carries it.
class PacedReceiver {
public:
    PacedReceiver() {
        // Held open so that the terminal exists before the bridge opens it.
        m_slaveHolder =
            ::open(QFile::encodeName(m_peer.DevicePath()).constData(), O_RDWR | O_NOCTTY);
        m_thread = std::thread([this] { Run(); });
    }
    ~PacedReceiver() {
        m_stop = true;
        m_thread.join();
        ::close(m_slaveHolder);
    }
    QString DevicePath() const { return m_peer.DevicePath(); }

    // Returns the moment the line's last byte is written.
    void Say(const QByteArray& line) {
        std::lock_guard lock(m_mutex);
        Clock::time_point next = Clock::now();
        for (const char byte : '\r' + line + '\r') {
            while (Clock::now() < next) {
            }
            m_peer.WriteAll(QByteArray(1, byte));
            next += kByteTime;
        }
    }

private:
    static constexpr std::chrono::nanoseconds kByteTime{86'806};  // 10 bits at 115200 baud

    static QByteArray AnswerTo(const QByteArray& command) {
        if (command == "Main.Model?")
            return "Main.Model=ZA11";
        if (!command.endsWith('?'))
            return {};
        // The read asks "MAIN.Volume?"; a receiver answers in its own spelling.
        QByteArray key = command.chopped(1);
        if (key.startsWith("MAIN."))
            key = "Main." + key.mid(5);
        return key + "=0";
    }

    void Run() {
        QByteArray pending;
        while (!m_stop) {
            pollfd fd{m_peer.MasterFd(), POLLIN, 0};
            if (::poll(&fd, 1, 50) <= 0)
                continue;
            char chunk[512];
            const ssize_t n = ::read(m_peer.MasterFd(), chunk, sizeof chunk);
            if (n <= 0)
                continue;
            pending.append(chunk, n);
            qsizetype end = 0;
            while ((end = pending.indexOf('\r')) >= 0) {
                const QByteArray answer = AnswerTo(pending.left(end));
                pending.remove(0, end + 1);
                if (!answer.isEmpty()) {
                    std::lock_guard lock(m_mutex);
                    m_peer.WriteAll('\r' + answer + '\r');
                }
            }
        }
    }

    PtyPeer m_peer;
    int m_slaveHolder = -1;
    std::mutex m_mutex;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

double StatusLatencyMs(const Broker& broker) {
    PacedReceiver receiver;
    Subscriber sub(broker.Port());
    BridgeProcess bridge(receiver.DevicePath(), broker.Port(), {"--no-discovery"});
    if (!WaitFor([&] { return Online(sub); }, 60'000))
        return -1;
    std::vector<double> samples;
    for (int i = 0; i < 500; ++i) {
        const QByteArray value = QByteArray::number(-(i % 70) - 1);
        // Lines after a quiet spell, as a front panel sends them one by one.
        QThread::msleep(25);
        receiver.Say("Main.Volume=" + value);
        const Clock::time_point sent = Clock::now();
        if (!WaitFor([&] { return sub.Last("ampdesk/test/state/Main.Volume") == value; }))
            return -1;
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        if (i % 70 == 69)
            sub.Forget();  // the values come round again
    }
    std::sort(samples.begin(), samples.end());
    Print("bridge_status_latency_median_ms", samples[samples.size() / 2]);
    return samples[samples.size() * 99 / 100];
}

double BrokerOnlyLatencyMs(const Broker& broker) {
    Subscriber from(broker.Port());
    Subscriber to(broker.Port());
    const QByteArray topic = "ampdesk/probe/value";
    // Subscribed once the first message comes through.
    if (!WaitFor(
            [&] {
                from.Publish(topic, "ready");
                return WaitFor([&] { return to.Last(topic) == "ready"; }, 100);
            },
            10'000))
        return -1;
    std::vector<double> samples;
    for (int i = 0; i < 500; ++i) {
        const QByteArray value = QByteArray::number(i);
        QThread::msleep(25);
        const Clock::time_point sent = Clock::now();
        from.Publish(topic, value);
        if (!WaitFor([&] { return to.Last(topic) == value; }))
            return -1;
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() * 99 / 100];
}

void FloodAndMemory(const Broker& broker) {
    SimProcess sim({"--front-panel-ms", "1"});
    Subscriber sub(broker.Port());
    BridgeProcess bridge(sim.LinkPath(), broker.Port());
    if (!WaitFor([&] { return Online(sub); }, 60'000))
        return;
    const ProcessMeter meter(bridge.Process().processId());
    Print("bridge_rss_mb", meter.ResidentMegabytes());
    const ProcessMeter::Sample before = meter.Take();
    WaitFor([] { return false; }, 10'000);
    const ProcessMeter::Sample after = meter.Take();
    Print("bridge_flood_cpu_percent", ProcessMeter::CpuPercent(before, after));
    Print("bridge_flood_lines_per_second",
          static_cast<double>(sim.SentLines().size()) / ProcessMeter::Seconds(before, after));
}

double BackupSeconds(const QString& port) {
    QTemporaryDir folder;
    QProcess cli;
    // The backup's snapshot goes to the run's own folder, not the user's.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), folder.filePath(QStringLiteral("data")));
    cli.setProcessEnvironment(environment);
    QElapsedTimer timer;
    timer.start();
    cli.start(AMPDESK_CLI_PATH, {"--port", port, "backup", folder.filePath("b.kvx")});
    if (!cli.waitForFinished(120'000) || cli.exitCode() != 0)
        return -1;
    return timer.elapsed() / 1000.0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double SharedBulkRatio(const Broker& broker) {
    SimProcess sim({}, SimProcess::Line::Tcp);
    std::vector<double> straight;
    for (int i = 0; i < 5; ++i)
        straight.push_back(BackupSeconds(sim.LinkPath()));
    const int port = FreePort();
    Subscriber sub(broker.Port());
    BridgeProcess bridge(sim.LinkPath(), broker.Port(), {"--listen", QString::number(port)});
    if (!WaitFor([&] { return Online(sub); }, 60'000))
        return -1;
    std::vector<double> shared;
    for (int i = 0; i < 5; ++i)
        shared.push_back(BackupSeconds(QStringLiteral("tcp://127.0.0.1:%1").arg(port)));
    return Median(shared) / Median(straight);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Broker broker;
    Print("bridge_status_latency_ms", StatusLatencyMs(broker));
    Print("broker_only_latency_ms", BrokerOnlyLatencyMs(broker));
    FloodAndMemory(broker);
    Print("bridge_shared_bulk_ratio", SharedBulkRatio(broker));
    return 0;
}
