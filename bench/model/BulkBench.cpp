// Connect-time bulk read of a ZA11 and restore of the default lines against the
// simulator at 115200 baud, compared with the time the bytes need on the wire.

#include "BulkTransfer.h"
#include "CommandChannel.h"
#include "KnownModels.h"
#include "SerialPort.h"
#include "SettingsStore.h"
#include "SimProcess.h"

#include <QCoreApplication>
#include <QList>

#include <chrono>
#include <cstdio>

namespace {

constexpr double kBaud = 115200.0;
constexpr double kBitsPerByte = 10.0;  // start, 8 data, stop

// Wire bytes of the commands received (R) and lines sent (S) in the log lines
// from `firstLine` on. A log line reads "<ms> <tag> <wire bytes> <text>".
qint64 WireBytes(const QList<QByteArray>& logLines, qsizetype firstLine) {
    qint64 total = 0;
    for (qsizetype i = firstLine; i < logLines.size(); ++i) {
        const QList<QByteArray> fields = logLines[i].split(' ');
        if (fields.size() < 3 || (fields[1] != "R" && fields[1] != "S"))
            continue;
        bool ok = false;
        const qint64 bytes = fields[2].toLongLong(&ok);
        if (ok)
            total += bytes;
    }
    return total;
}

QList<QByteArray> LogLines(const SimProcess& sim) {
    QList<QByteArray> lines = sim.Log().split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

void Print(const char* name, double value) {
    std::printf("%s: %.4f\n", name, value);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    SimProcess sim({"--model", "ZA11", "--baud", "115200", "--latency-ms", "0"});
    if (!sim.IsRunning()) {
        std::fprintf(stderr, "bench_bulk: the receiver simulator did not start\n");
        return 1;
    }
    SerialPort port;
    CommandChannel channel(port);
    if (!port.Open(sim.LinkPath())) {
        std::fprintf(stderr, "bench_bulk: %s\n", qPrintable(port.LastError()));
        return 1;
    }
    SettingsStore store;

    qsizetype logStart = LogLines(sim).size();
    auto start = std::chrono::steady_clock::now();
    QCoro::waitFor(ReadAllFromReceiver(store, channel, nullptr, QStringLiteral("Connecting"),
                                       ModelBitOf("ZA11"), {}));
    const double readSeconds = Seconds(std::chrono::steady_clock::now() - start);
    QList<QByteArray> log = LogLines(sim);
    const double readWire = WireBytes(log, logStart) * kBitsPerByte / kBaud;
    if (store.LineCount() != 584) {
        std::fprintf(stderr, "bench_bulk: %d answers stored, 584 expected\n", store.LineCount());
    }

    store.ResetToDefaults();
    logStart = log.size();
    start = std::chrono::steady_clock::now();
    const int errors =
        QCoro::waitFor(RestoreToReceiver(store.Lines(), channel, nullptr, {})).Failed();
    const double restoreSeconds = Seconds(std::chrono::steady_clock::now() - start);
    log = LogLines(sim);
    const double restoreWire = WireBytes(log, logStart) * kBitsPerByte / kBaud;
    if (errors != 0)
        std::fprintf(stderr, "bench_bulk: %d restore errors\n", errors);

    Print("bulk_read_seconds", readSeconds);
    Print("bulk_read_wire_ratio", readSeconds / readWire);
    Print("restore_seconds", restoreSeconds);
    Print("restore_wire_ratio", restoreSeconds / restoreWire);
    return 0;
}
