#include "TcpLink.h"

#include "SystemError.h"

#include <QSocketNotifier>
#include <QTimer>

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

const QString kScheme = QStringLiteral("tcp://");
const QString kExpected = QStringLiteral("Cannot open %1: expected tcp://host:port");

// A device server that vanished without closing (power cut, cable pulled) is
// found by keep-alive probes: the first after 5 s of silence, then every 2 s,
// given up after 3 unanswered ones. Bytes it does not acknowledge within 10 s
// end the connection too.
constexpr int kKeepAliveIdleSeconds = 5;
constexpr int kKeepAliveIntervalSeconds = 2;
constexpr int kKeepAliveProbes = 3;
constexpr unsigned kUserTimeoutMs = 10'000;

// A resolver still busy when the connect time-out is up is waited for a little
// longer only if it is about to answer.
constexpr std::chrono::milliseconds kResolverGrace{250};

class TcpDevice : public LinkDevice {
public:
    TcpDevice(int fd, QString name) : m_fd(fd), m_name(std::move(name)) {}
    ~TcpDevice() override { ::close(m_fd); }
    TcpDevice(const TcpDevice&) = delete;
    TcpDevice& operator=(const TcpDevice&) = delete;

    int Fd() const override { return m_fd; }
    ssize_t Write(const char* data, size_t size) override {
        return ::send(m_fd, data, size, MSG_NOSIGNAL);
    }
    QString HangUpReason() const override {
        return QStringLiteral("Lost %1: the device server closed the connection").arg(m_name);
    }

private:
    int m_fd;
    QString m_name;
};

bool IsValidHost(const QByteArray& host) {
    if (host.isEmpty())
        return false;
    for (char c : host) {
        if (static_cast<unsigned char>(c) <= ' ' || c == '/' || c == '[' || c == ']')
            return false;
    }
    return true;
}

bool SetOption(int fd, int level, int name, int value) {
    return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

bool Configure(int fd) {
    return SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1) &&
           SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1) &&
           SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepAliveIdleSeconds) &&
           SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepAliveIntervalSeconds) &&
           SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepAliveProbes) &&
           SetOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, static_cast<int>(kUserTimeoutMs));
}

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// 0 when connected; otherwise the errno of the failure (ETIMEDOUT when the
// deadline passed first).
int ConnectOne(int fd, const addrinfo& address, Clock::time_point deadline) {
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0)
        return 0;
    if (errno != EINPROGRESS)
        return errno;
    for (;;) {
        pollfd wait{fd, POLLOUT, 0};
        const int ready = ::poll(&wait, 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return errno;
        if (ready == 0)
            return ETIMEDOUT;
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            return errno;
        return error;
    }
}

QString TimeOutText(const QString& name, std::chrono::milliseconds timeout) {
    return QStringLiteral("Cannot open %1: no answer within %2 s")
        .arg(name)
        .arg(static_cast<double>(timeout.count()) / 1000.0);
}

}  // namespace

bool IsTcpTarget(const QString& name) {
    return name.startsWith(kScheme, Qt::CaseInsensitive);
}

std::optional<TcpTarget> ParseTcpTarget(const QString& name, QString* error) {
    const auto fail = [&](const QString& text) -> std::optional<TcpTarget> {
        if (error != nullptr)
            *error = text;
        return std::nullopt;
    };
    if (!IsTcpTarget(name))
        return fail(kExpected.arg(name));
    QByteArray rest = name.mid(kScheme.size()).toUtf8();
    if (rest.endsWith('/'))
        rest.chop(1);

    QByteArray host;
    QByteArray port;
    if (rest.startsWith('[')) {
        const qsizetype close = rest.indexOf(']');
        if (close < 0 || rest.mid(close + 1, 1) != ":")
            return fail(kExpected.arg(name));
        host = rest.mid(1, close - 1);
        port = rest.mid(close + 2);
    } else {
        const qsizetype colon = rest.lastIndexOf(':');
        if (colon < 0)
            return fail(QStringLiteral("Cannot open %1: the port number is missing").arg(name));
        host = rest.left(colon);
        port = rest.mid(colon + 1);
        // An IPv6 address needs brackets, or its last group would pass for the port.
        if (host.contains(':'))
            return fail(kExpected.arg(name));
    }
    if (!IsValidHost(host))
        return fail(kExpected.arg(name));

    bool digitsOnly = !port.isEmpty() && port.size() <= 5;
    for (char c : port)
        digitsOnly = digitsOnly && c >= '0' && c <= '9';
    const int number = digitsOnly ? port.toInt() : 0;
    if (number < 1 || number > 65535) {
        return fail(
            QStringLiteral("Cannot open %1: the port must be a number from 1 to 65535").arg(name));
    }
    return TcpTarget{host, static_cast<quint16>(number)};
}

namespace TcpLink {

LinkDeviceResult Connect(const QString& name, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    QString error;
    const std::optional<TcpTarget> target = ParseTcpTarget(name, &error);
    if (!target)
        return {nullptr, error};

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const QByteArray service = QByteArray::number(target->port);
    const int resolved =
        ::getaddrinfo(target->host.constData(), service.constData(), &hints, &found);
    if (resolved != 0) {
        const QString reason =
            resolved == EAI_NONAME || resolved == EAI_NODATA
                ? QStringLiteral("unknown host \"%1\"").arg(QString::fromUtf8(target->host))
                : QString::fromLocal8Bit(::gai_strerror(resolved));
        return {nullptr, QStringLiteral("Cannot open %1: %2").arg(name, reason)};
    }
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);

    int lastError = ETIMEDOUT;
    for (const addrinfo* address = addresses.get(); address != nullptr;
         address = address->ai_next) {
        if (Clock::now() >= deadline) {
            lastError = ETIMEDOUT;
            break;
        }
        const int fd = ::socket(address->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                address->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        lastError = ConnectOne(fd, *address, deadline);
        if (lastError == 0) {
            if (!Configure(fd)) {
                const int configureError = errno;
                ::close(fd);
                return {nullptr, DescribeSystemError(QStringLiteral("Cannot configure"), name,
                                                     configureError)};
            }
            return {std::make_unique<TcpDevice>(fd, name), QString()};
        }
        ::close(fd);
    }
    if (lastError == ETIMEDOUT)
        return {nullptr, TimeOutText(name, timeout), ETIMEDOUT};
    return {nullptr, DescribeSystemError(QStringLiteral("Cannot open"), name, lastError),
            lastError};
}

namespace {

// Shared by the helper thread and the watcher on the caller's thread: whichever
// leaves last frees it, so a helper that outlives the wait still has somewhere
// to put its result.
struct Attempt {
    std::mutex mutex;
    LinkDeviceResult result;  // guarded; dropped by the helper once abandoned
    bool done = false;
    bool abandoned = false;
    int doneFd = -1;  // an eventfd the helper signals when it has finished

    ~Attempt() {
        if (doneFd >= 0)
            ::close(doneFd);
    }
};

// Lives on the caller's thread until the helper has answered or the time is
// up; destroying it abandons the attempt without calling back.
class ConnectWatcher : public QObject {
public:
    ConnectWatcher(std::shared_ptr<Attempt> attempt, QString name,
                   std::chrono::milliseconds timeout, QObject* parent,
                   std::function<void(LinkDeviceResult)> done)
        : QObject(parent),
          m_attempt(std::move(attempt)),
          m_name(std::move(name)),
          m_timeout(timeout),
          m_done(std::move(done)),
          m_notifier(m_attempt->doneFd, QSocketNotifier::Read) {
        connect(&m_notifier, &QSocketNotifier::activated, this, &ConnectWatcher::Settle);
        m_guard.setSingleShot(true);
        connect(&m_guard, &QTimer::timeout, this, &ConnectWatcher::Settle);
        m_guard.start(
            std::chrono::duration_cast<std::chrono::milliseconds>(timeout + kResolverGrace));
    }
    ~ConnectWatcher() override {
        std::lock_guard lock(m_attempt->mutex);
        m_attempt->abandoned = true;
    }

private:
    void Settle() {
        LinkDeviceResult result;
        {
            std::lock_guard lock(m_attempt->mutex);
            if (m_attempt->done)
                result = std::move(m_attempt->result);
            else
                result = {nullptr, TimeOutText(m_name, m_timeout), ETIMEDOUT};
            m_attempt->abandoned = true;
        }
        m_notifier.setEnabled(false);
        m_guard.stop();
        auto done = std::move(m_done);
        deleteLater();
        if (done)
            done(std::move(result));
    }

    std::shared_ptr<Attempt> m_attempt;
    QString m_name;
    std::chrono::milliseconds m_timeout;
    std::function<void(LinkDeviceResult)> m_done;
    QSocketNotifier m_notifier;
    QTimer m_guard;
};

}  // namespace

QObject* ConnectAsync(const QString& name, QObject* context,
                      std::function<void(LinkDeviceResult)> done,
                      std::chrono::milliseconds timeout) {
    auto attempt = std::make_shared<Attempt>();
    attempt->doneFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    const auto failed = [&](int error) {
        done({nullptr, DescribeSystemError(QStringLiteral("Cannot open"), name, error), error});
        return nullptr;
    };
    if (attempt->doneFd < 0)
        return failed(errno);
    try {
        std::thread([attempt, name, timeout] {
            LinkDeviceResult result = Connect(name, timeout);
            std::lock_guard lock(attempt->mutex);
            attempt->done = true;
            if (!attempt->abandoned)
                attempt->result = std::move(result);
            const std::uint64_t one = 1;
            (void)!::write(attempt->doneFd, &one, sizeof one);
        }).detach();
    } catch (const std::system_error& error) {
        return failed(error.code().value());
    }
    return new ConnectWatcher(std::move(attempt), name, timeout, context, std::move(done));
}

}  // namespace TcpLink
