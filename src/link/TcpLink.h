#pragma once

#include "LinkDevice.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

// A receiver behind a serial device server: an Ethernet-to-RS-232 adapter (or a
// small computer) that passes the bytes of a raw TCP connection to and from the
// receiver's serial port. The console names it "tcp://host:port"; the line
// protocol is the same as on a tty.
struct TcpTarget {
    QByteArray host;  // a name, an IPv4 address, or an IPv6 address without brackets
    quint16 port = 0;
};

// True when the name asks for a device server ("tcp://", any letter case).
bool IsTcpTarget(const QString& name);
// "tcp://host:port" or "tcp://[v6-address]:port", port 1..65535; a trailing "/"
// is allowed. Empty for anything else, and `error` says why when the name
// began with "tcp://".
std::optional<TcpTarget> ParseTcpTarget(const QString& name, QString* error = nullptr);

namespace TcpLink {

inline constexpr std::chrono::milliseconds kConnectTimeout{3000};

// Resolves the host and connects to each of its addresses in turn until one
// accepts, all within `timeout`. The connection gets TCP_NODELAY (a command is
// one small write that must leave at once) and keep-alive probes, so that a
// device server that vanished without closing is noticed as a lost device.
// Blocks the calling thread.
LinkDeviceResult Connect(const QString& name, std::chrono::milliseconds timeout = kConnectTimeout);

// Connect run on a helper thread, so the caller's thread never waits. `done`
// runs on the caller's thread once the helper has answered or the time is up
// (a name that does not resolve in time is given up; the helper then finishes
// on its own and releases what it made). The returned watcher is a child of
// `context`; destroying it abandons the attempt without calling `done`. On a
// failure to start, `done` runs before the call returns and it returns null.
QObject* ConnectAsync(const QString& name, QObject* context,
                      std::function<void(LinkDeviceResult)> done,
                      std::chrono::milliseconds timeout = kConnectTimeout);

}  // namespace TcpLink
