#include "TcpEndpoint.h"

#include "PtyEndpoint.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace {

const QByteArray kDefaultHost = QByteArrayLiteral("127.0.0.1");
constexpr int kBacklog = 4;

struct HostPort {
    QByteArray host;
    QByteArray port;
};

HostPort SplitAddress(const QByteArray& address) {
    if (address.startsWith('[')) {
        const qsizetype close = address.indexOf(']');
        if (close > 0 && address.mid(close + 1, 1) == ":")
            return {address.mid(1, close - 1), address.mid(close + 2)};
        return {};
    }
    const qsizetype colon = address.lastIndexOf(':');
    if (colon < 0)
        return {kDefaultHost, address};
    return {address.left(colon), address.mid(colon + 1)};
}

bool IsPortNumber(const QByteArray& port) {
    if (port.isEmpty() || port.size() > 5)
        return false;
    for (char c : port) {
        if (c < '0' || c > '9')
            return false;
    }
    return port.toInt() <= 65535;
}

}  // namespace

QByteArray AddressText(const void* socketAddress) {
    const auto* address = static_cast<const sockaddr*>(socketAddress);
    char host[INET6_ADDRSTRLEN] = {};
    quint16 port = 0;
    if (address->sa_family == AF_INET6) {
        const auto* v6 = static_cast<const sockaddr_in6*>(socketAddress);
        ::inet_ntop(AF_INET6, &v6->sin6_addr, host, sizeof host);
        port = ntohs(v6->sin6_port);
        return '[' + QByteArray(host) + "]:" + QByteArray::number(port);
    }
    const auto* v4 = static_cast<const sockaddr_in*>(socketAddress);
    ::inet_ntop(AF_INET, &v4->sin_addr, host, sizeof host);
    port = ntohs(v4->sin_port);
    return QByteArray(host) + ':' + QByteArray::number(port);
}

TcpEndpoint::~TcpEndpoint() {
    if (m_client >= 0)
        ::close(m_client);
    if (m_listener >= 0)
        ::close(m_listener);
}

bool TcpEndpoint::IsListenAddress(const QString& address) {
    const HostPort parts = SplitAddress(address.toUtf8());
    return !parts.host.isEmpty() && IsPortNumber(parts.port);
}

QString TcpEndpoint::AddressError(const QString& address) {
    return QStringLiteral("--tcp takes [host:]port with a port from 0 to 65535, not \"%1\"")
        .arg(address);
}

bool TcpEndpoint::Listen(const QString& address, QString* error) {
    const HostPort parts = SplitAddress(address.toUtf8());
    if (!IsListenAddress(address)) {
        *error = AddressError(address);
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int rc =
            ::getaddrinfo(parts.host.constData(), parts.port.constData(), &hints, &found);
        rc != 0) {
        *error =
            QStringLiteral("--tcp %1: %2").arg(address, QString::fromLocal8Bit(gai_strerror(rc)));
        return false;
    }
    int lastError = EADDRNOTAVAIL;
    for (const addrinfo* candidate = found; candidate != nullptr; candidate = candidate->ai_next) {
        const int fd = ::socket(candidate->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                candidate->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(fd, candidate->ai_addr, candidate->ai_addrlen) == 0 &&
            ::listen(fd, kBacklog) == 0) {
            m_listener = fd;
            break;
        }
        lastError = errno;
        ::close(fd);
    }
    ::freeaddrinfo(found);
    if (m_listener < 0) {
        *error = SystemErrorText(("--tcp " + address.toLocal8Bit()).constData(), lastError);
        return false;
    }
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(m_listener, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        *error = SystemErrorText("getsockname", errno);
        return false;
    }
    m_url = "tcp://" + AddressText(&bound);
    return true;
}

bool TcpEndpoint::ConsoleArrived() {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(m_listener, reinterpret_cast<sockaddr*>(&peer), &length,
                             SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0)
        return false;  // gone before we took it, or nothing after all
    if (m_client >= 0) {
        std::fprintf(stderr,
                     "ampdesk-receiver-sim: refused a second console from %s: one console at a "
                     "time, and %s holds the line\n",
                     AddressText(&peer).constData(), m_clientAddress.constData());
        std::fflush(stderr);
        ::close(fd);
        return false;
    }
    // Answers leave in small paced chunks; each must go out when written.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    m_client = fd;
    m_clientAddress = AddressText(&peer);
    return true;
}

bool TcpEndpoint::ConsoleLeft() {
    if (m_client >= 0)
        ::close(m_client);
    m_client = -1;
    m_clientAddress.clear();
    return false;
}
