// Connect-time bulk read of a ZA11 through a serial device server: the
// simulator served on 127.0.0.1 and paced like a 115200-baud line, against the
// time its bytes need on that line.

#include "BulkTransfer.h"
#include "CommandChannel.h"
#include "KnownModels.h"
#include "SerialPort.h"
#include "SettingsStore.h"
#include "SimProcess.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>

namespace {

constexpr double kBaud = 115200.0;
constexpr double kBitsPerByte = 10.0;  // start, 8 data, stop

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
    return 0;
}
