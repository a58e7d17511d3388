#pragma once

#include "LineEndpoint.h"

#include <QByteArray>
#include <QString>

// The receiver served on a TCP socket, as a serial device server serves the
// port it is wired to: one console at a time. A second console is accepted
// only to be closed at once, and a line on standard error says so.
class TcpEndpoint : public LineEndpoint {
public:
    TcpEndpoint() = default;
    ~TcpEndpoint() override;
    TcpEndpoint(const TcpEndpoint&) = delete;
    TcpEndpoint& operator=(const TcpEndpoint&) = delete;

    // `address` is "[host:]port" ("4001", "0.0.0.0:4001", "[::1]:4001"); the
    // host defaults to 127.0.0.1, port 0 takes any free port.
    bool Listen(const QString& address, QString* error);
    // "[host:]port" with a port from 0 to 65535; the message for one that is not.
    static bool IsListenAddress(const QString& address);
    static QString AddressError(const QString& address);
    // "tcp://host:port" as the console names it, with the port actually bound.
    QByteArray Url() const { return m_url; }

    int LineFd() const override { return m_client; }
    int WatchFd(bool) const override { return m_listener; }
    bool ConsoleArrived() override;
    bool ConsoleLeft() override;
    bool NeedsRecheck() const override { return false; }
    bool OpenAtStart() const override { return false; }

private:
    int m_listener = -1;
    int m_client = -1;
    QByteArray m_clientAddress;
    QByteArray m_url;
};

// "host:port" of a socket address, IPv6 hosts in brackets.
QByteArray AddressText(const void* socketAddress);
