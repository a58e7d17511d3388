// ampdesk-bridge as a service runs it, against a local mosquitto broker:
//   bridge_status_latency_<n>_per_s_ms
//                              a status line's last byte written by a receiver
//                              stand-in paced like a 115200-baud line to its
//                              publish arriving at a subscriber, 99th
//                              percentile, with n lines a second sent on a
//                              fixed schedule (not waiting for the last one)
//   broker_only_latency_<n>_per_s_ms
//                              the same spacing and percentile between two
//                              plain clients through the same broker: what
//                              the broker and the MQTT client take by themselves
//   bridge_flood_cpu_percent   the bridge's processor share while the simulator
//                              reports front-panel changes back to back
//   bridge_rss_mb              resident memory, connected
//   bridge_shared_bulk_ratio   ampdesk-cli's backup (a full read) through the
//                              bridge's --listen port, over the same backup
//                              straight on the simulator; medians of five
//   console_backup_under_flood_ratio
//                              the backup through --listen while MQTT floods
//                              the bridge with sets (one a millisecond, ten
//                              keys in turn), over the same backup with MQTT
//                              quiet; medians of three

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
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void Print(const QByteArray& name, double value) {
    std::printf("%s: %.3f\n", name.constData(), value);
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

    // Returns once the line's last byte is written.
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

double Percentile99(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() * 99 / 100];
}

// Arrival times of the messages on one topic, in order.
class Arrivals {
public:
    Arrivals(Subscriber& sub, const QByteArray& topic) {
        QObject::connect(&sub.Client(), &MqttClient::MessageReceived, &m_context,
                         [this, topic](const QByteArray& on, const QByteArray&, bool) {
                             if (on == topic)
                                 m_times.push_back(Clock::now());
                         });
    }
    std::size_t Count() const { return m_times.size(); }
    Clock::time_point At(std::size_t i) const { return m_times[i]; }

private:
    QObject m_context;
    std::vector<Clock::time_point> m_times;
};

// Each value differs from the one before (and from the read's 0), so the
// bridge publishes every line.
QByteArray Value(int i) {
    return QByteArray::number(-(i % 70) - 1);
}

double StatusLatencyMs(const Broker& broker, int perSecond, int count) {
    PacedReceiver receiver;
    Subscriber sub(broker.Port());
    BridgeProcess bridge(receiver.DevicePath(), broker.Port(), {"--no-discovery"});
    const QByteArray topic = "ampdesk/test/state/Main.Volume";
    if (!WaitFor([&] { return Online(sub) && !sub.Last(topic).isEmpty(); }, 60'000))
        return -1;
    // The read's value is in; the stream begins after a quiet spell.
    QThread::msleep(200);
    Arrivals arrivals(sub, topic);
    std::vector<Clock::time_point> sent(static_cast<std::size_t>(count));
    const auto spacing = std::chrono::microseconds(1'000'000 / perSecond);
    std::thread sender([&] {
        Clock::time_point next = Clock::now();
        for (int i = 0; i < count; ++i) {
            std::this_thread::sleep_until(next);
            receiver.Say("Main.Volume=" + Value(i));
            const Clock::time_point end = Clock::now();
            sent[static_cast<std::size_t>(i)] = end;
            // A sender held up by a loaded machine does not catch up with
            // lines back to back: that would be a flood, not this rate.
            next = std::max(next + spacing, end + spacing / 2);
        }
    });
    const bool all = WaitFor([&] { return arrivals.Count() >= static_cast<std::size_t>(count); },
                             count * 1000 / perSecond + 10'000);
    sender.join();
    if (!all)
        return -1;
    std::vector<double> samples;
    for (std::size_t i = 0; i < sent.size(); ++i)
        samples.push_back(
            std::chrono::duration<double, std::milli>(arrivals.At(i) - sent[i]).count());
    return Percentile99(samples);
}

double BrokerOnlyLatencyMs(const Broker& broker, int perSecond, int count) {
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
    Arrivals arrivals(to, topic);
    std::vector<Clock::time_point> sent;
    const auto spacing = std::chrono::microseconds(1'000'000 / perSecond);
    const Clock::time_point start = Clock::now();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        while (sent.size() < static_cast<std::size_t>(count) &&
               Clock::now() >= start + spacing * static_cast<int>(sent.size())) {
            from.Publish(topic, Value(static_cast<int>(sent.size())));
            sent.push_back(Clock::now());
        }
    });
    tick.start(std::max(1, perSecond >= 1000 ? 1 : 1000 / perSecond / 2));
    if (!WaitFor([&] { return arrivals.Count() >= static_cast<std::size_t>(count); },
                 count * 1000 / perSecond + 10'000))
        return -1;
    std::vector<double> samples;
    for (std::size_t i = 0; i < sent.size(); ++i)
        samples.push_back(
            std::chrono::duration<double, std::milli>(arrivals.At(i) - sent[i]).count());
    return Percentile99(samples);
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
    // The event loop runs meanwhile: subscribers and a flood go on.
    if (!WaitFor([&] { return cli.state() == QProcess::NotRunning; }, 120'000) ||
        cli.exitCode() != 0)
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

double BackupUnderFloodRatio(const Broker& broker) {
    SimProcess sim({}, SimProcess::Line::Tcp);
    const int port = FreePort();
    Subscriber sub(broker.Port());
    BridgeProcess bridge(sim.LinkPath(), broker.Port(),
                         {"--listen", QString::number(port), "--no-discovery"});
    const QByteArray state = "ampdesk/test/state/";
    if (!WaitFor([&] { return Online(sub) && !sub.Last(state + "Source10.Name").isEmpty(); },
                 60'000))
        return -1;
    const QString target = QStringLiteral("tcp://127.0.0.1:%1").arg(port);
    std::vector<double> quiet;
    for (int i = 0; i < 3; ++i)
        quiet.push_back(BackupSeconds(target));
    int sets = 0;
    QTimer flood;
    flood.setTimerType(Qt::PreciseTimer);
    QObject::connect(&flood, &QTimer::timeout, [&] {
        const QByteArray key = "Source" + QByteArray::number(sets++ % 10 + 1) + ".Name";
        sub.Publish("ampdesk/test/set/" + key, sub.Last(state + key));
    });
    flood.start(1);
    std::vector<double> flooded;
    for (int i = 0; i < 3; ++i)
        flooded.push_back(BackupSeconds(target));
    flood.stop();
    return Median(flooded) / Median(quiet);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Broker broker;
    for (const auto& [perSecond, count] : {std::pair{20, 400}, std::pair{400, 2000}}) {
        const QByteArray rate = QByteArray::number(perSecond);
        Print("bridge_status_latency_" + rate + "_per_s_ms",
              StatusLatencyMs(broker, perSecond, count));
        Print("broker_only_latency_" + rate + "_per_s_ms",
              BrokerOnlyLatencyMs(broker, perSecond, count));
    }
    FloodAndMemory(broker);
    Print("bridge_shared_bulk_ratio", SharedBulkRatio(broker));
    Print("console_backup_under_flood_ratio", BackupUnderFloodRatio(broker));
    return 0;
}
