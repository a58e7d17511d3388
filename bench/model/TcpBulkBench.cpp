// Connect-time bulk read of a ZA11 through a serial device server: the
// simulator served on 127.0.0.1 and paced like a 115200-baud line, against the
// time its bytes need on that line; and ampdesk-cli's backup through one that
// floods junk.

#include "BulkTransfer.h"
#include "CommandChannel.h"
#include "KnownModels.h"
#include "SerialPort.h"
#include "SettingsStore.h"
#include "SimProcess.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

namespace {

constexpr double kBaud = 115200.0;
constexpr double kBitsPerByte = 10.0;  // start, 8 data, stop

// ampdesk-cli backs up a receiver behind a device server that floods status
// lines of no setting as fast as TCP takes them: each answer comes after what
// the socket buffers hold, so the time says how fast lines are gone through.
bool MeasureJunkFlood() {
    SimProcess sim({"--model", "ZA11", "--baud", "0", "--junk-flood"}, SimProcess::Line::Tcp);
    QTemporaryDir home;
    if (!sim.IsRunning() || !home.isValid())
        return false;
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", home.path());
    environment.insert("XDG_DATA_HOME", home.path());
    cli.setProcessEnvironment(environment);
    const auto start = std::chrono::steady_clock::now();
    cli.start(AMPDESK_CLI_PATH, {"--port", sim.LinkPath(), "backup", home.filePath("b.kvx")});
    const bool done = cli.waitForFinished(300'000) && cli.exitCode() == 0;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!done) {
        std::fprintf(stderr, "bench_tcp_bulk: the backup under a junk flood failed: %s\n",
                     cli.readAllStandardError().constData());
        return false;
    }
    rusage children{};
    ::getrusage(RUSAGE_CHILDREN, &children);
    std::printf("junk_flood_backup_seconds: %.4f\n", seconds);
    std::printf("junk_flood_backup_rss_mb: %.1f\n", static_cast<double>(children.ru_maxrss) / 1024);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SimProcess sim({"--model", "ZA11", "--baud", "115200", "--latency-ms", "0"},
                   SimProcess::Line::Tcp);
    if (!sim.IsRunning()) {
        std::fprintf(stderr, "bench_tcp_bulk: the receiver simulator did not start\n");
        return 1;
    }
    SerialPort port;
    CommandChannel channel(port);
    if (!port.Open(sim.LinkPath())) {
        std::fprintf(stderr, "bench_tcp_bulk: %s\n", qPrintable(port.LastError()));
        return 1;
    }
    SettingsStore store;
    const qint64 bytesBefore = sim.BytesReceived() + sim.BytesSent();
    const auto start = std::chrono::steady_clock::now();
    QCoro::waitFor(ReadAllFromReceiver(store, channel, nullptr, QStringLiteral("Connecting"),
                                       ModelBitOf("ZA11"), {}));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const qint64 wireBytes = sim.BytesReceived() + sim.BytesSent() - bytesBefore;
    if (store.LineCount() != 584) {
        std::fprintf(stderr, "bench_tcp_bulk: %d answers stored, 584 expected\n",
                     store.LineCount());
    }
    const double wireSeconds = static_cast<double>(wireBytes) * kBitsPerByte / kBaud;
    std::printf("tcp_bulk_read_seconds: %.4f\n", seconds);
    std::printf("tcp_bulk_read_wire_ratio: %.4f\n", seconds / wireSeconds);
    return MeasureJunkFlood() ? 0 : 1;
}
