// Round trip of one Request against a receiver that answers at once over a
// 115200-baud line. Prints the time per Request and its ratio to the wire
// time of the bytes exchanged; the ratio is what the connect time scales by.

#include "CommandChannel.h"
#include "Completion.h"
#include "SerialPort.h"
#include "WirePeer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <qcoro/qcorotask.h>

#include <cstdio>

namespace {

constexpr unsigned kBaud = 115200;
constexpr int kWarmUpRequests = 20;
constexpr int kTimedRequests = 400;
// "\rZone3.MaxVolume?\r" (18 bytes) and "\rZone3.MaxVolume=-100\r" (22 bytes): a
// 40-byte exchange, about the size of the connection's bulk-read queries.
const QByteArray kKey = QByteArrayLiteral("Zone3.MaxVolume");
const QByteArray kValue = QByteArrayLiteral("-100");

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    WirePeer peer(kBaud, kValue);
    if (!peer.IsOpen()) {
        std::fprintf(stderr, "bench_request: cannot open a pseudo-terminal\n");
        return 1;
    }
    peer.Start();

    SerialPort port;
    if (!port.Open(QString::fromLocal8Bit(peer.DevicePath()), kBaud)) {
        std::fprintf(stderr, "bench_request: %s\n", qPrintable(port.LastError()));
        return 1;
    }
    CommandChannel channel(port);

    const QByteArray command = kKey + "?";
    const QByteArray expected = kKey + "=" + kValue;
    const qsizetype exchangeBytes = command.size() + 2 + expected.size() + 2;

    // Asked one after the other, as the bulk read asks: each the moment the
    // last is answered.
    int failures = 0;
    const auto ask = [&](int count) -> QCoro::Task<> {
        for (int i = 0; i < count; ++i) {
            const CommandChannel::Reply reply =
                co_await Asked(channel, CommandChannel::Kind::Query, command);
            if (reply.Text() != expected)
                ++failures;
        }
    };
    QCoro::waitFor(ask(kWarmUpRequests));
    QElapsedTimer clock;
    clock.start();
    QCoro::waitFor(ask(kTimedRequests));
    const double requestNs = static_cast<double>(clock.nsecsElapsed()) / kTimedRequests;
    port.Close();

    if (failures > 0) {
        std::fprintf(stderr, "bench_request: %d requests were not answered\n", failures);
        return 1;
    }
    const double wireNs = static_cast<double>(exchangeBytes) * peer.ByteTime().count();
    std::printf("request_ms: %.3f\n", requestNs / 1e6);
    std::printf("request_wire_ms: %.3f\n", wireNs / 1e6);
    std::printf("request_wire_ratio: %.3f\n", requestNs / wireNs);
    return 0;
}
