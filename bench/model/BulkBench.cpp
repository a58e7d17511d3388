// Connect-time bulk read of a ZA11 and restore of the default lines against the
// simulator at 115200 baud, compared with the time the bytes need on the wire.

#include "BulkTransfer.h"
#include "CommandChannel.h"
#include "KnownModels.h"
#include "Pipeline.h"
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

struct Figures {
    double readSeconds = 0;
    double readWire = 0;  // the lockstep floor: both directions one after the other
    double restoreSeconds = 0;
    double restoreWire = 0;
    bool complete = false;
};

// One read of a ZA11 and one restore of the default lines, through a new port.
Figures Measure(const SimProcess& sim, Pipeline* pipeline) {
    Figures figures;
    SerialPort port;
    CommandChannel channel(port);
    if (!port.Open(sim.LinkPath())) {
        std::fprintf(stderr, "bench_bulk: %s\n", qPrintable(port.LastError()));
        return figures;
    }
    SettingsStore store;
    qsizetype logStart = LogLines(sim).size();
    auto start = std::chrono::steady_clock::now();
    QCoro::waitFor(ReadAllFromReceiver(store, channel, nullptr, QStringLiteral("Connecting"),
                                       ModelBitOf("ZA11"), {}, pipeline));
    figures.readSeconds = Seconds(std::chrono::steady_clock::now() - start);
    QList<QByteArray> log = LogLines(sim);
    figures.readWire = WireBytes(log, logStart) * kBitsPerByte / kBaud;
    figures.complete = store.LineCount() == 584;
    if (!figures.complete)
        std::fprintf(stderr, "bench_bulk: %d answers stored, 584 expected\n", store.LineCount());

    store.ResetToDefaults();
    logStart = log.size();
    start = std::chrono::steady_clock::now();
    const RestoreResult restored =
        QCoro::waitFor(RestoreToReceiver(store.Lines(), channel, nullptr, {}, pipeline));
    const int errors = restored.Failed();
    if (errors != 0)
        std::fprintf(stderr, "%s\n", restored.report.constData());
    figures.restoreSeconds = Seconds(std::chrono::steady_clock::now() - start);
    log = LogLines(sim);
    figures.restoreWire = WireBytes(log, logStart) * kBitsPerByte / kBaud;
    if (errors != 0)
        std::fprintf(stderr, "bench_bulk: %d restore errors\n", errors);
    return figures;
}

QStringList SimArguments(const QStringList& extra) {
    return QStringList{"--model", "ZA11", "--baud", "115200", "--latency-ms", "0"} + extra;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const SimProcess sim(SimArguments({}));
    const SimProcess strict(SimArguments({"--lockstep-only"}));
    if (!sim.IsRunning() || !strict.IsRunning()) {
        std::fprintf(stderr, "bench_bulk: the receiver simulator did not start\n");
        return 1;
    }
    // One command at a time: the time against what the bytes need on the wire.
    const Figures lockstep = Measure(sim, nullptr);
    Print("bulk_read_seconds", lockstep.readSeconds);
    Print("bulk_read_wire_ratio", lockstep.readSeconds / lockstep.readWire);
    Print("restore_seconds", lockstep.restoreSeconds);
    Print("restore_wire_ratio", lockstep.restoreSeconds / lockstep.restoreWire);

    // Two on the wire, against the lockstep floor of the same bytes.
    Pipeline pipeline;
    const Figures pipelined = Measure(sim, &pipeline);
    Print("bulk_read_pipelined_seconds", pipelined.readSeconds);
    Print("bulk_read_lockstep_floor_ratio", pipelined.readSeconds / lockstep.readWire);
    Print("restore_lockstep_floor_ratio", pipelined.restoreSeconds / lockstep.restoreWire);

    // A unit that drops what comes before its answer: the trial fails once.
    Pipeline tried;
    const Figures fallback = Measure(strict, &tried);
    Print("bulk_read_lockstep_only_floor_ratio", fallback.readSeconds / lockstep.readWire);
    return lockstep.complete && pipelined.complete && fallback.complete ? 0 : 1;
}
