#include "Await.h"
#include "BulkTransfer.h"
#include "CommandChannel.h"
#include "KnownModels.h"
#include "LinkTestSupport.h"
#include "LocalPort.h"
#include "SerialPort.h"
#include "SettingsStore.h"
#include "SimProcess.h"
#include "TcpLink.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

struct TargetCase {
    const char* name;
    const char* text;
    bool valid;
    const char* host;
    quint16 port;
    const char* errorPart;
};

const TargetCase kTargetCases[] = {
    {"Ipv4AddressAndPort", "tcp://192.168.1.50:4001", true, "192.168.1.50", 4001, ""},
    {"SchemeInAnyCaseAndHostName", "TCP://rack-server:23", true, "rack-server", 23, ""},
    {"BracketedIpv6WithTrailingSlash", "tcp://[::1]:4001/", true, "::1", 4001, ""},
    {"HighestPort", "tcp://h:65535", true, "h", 65535, ""},
    {"MissingPortIsNamed", "tcp://rack-server", false, "", 0, "port number is missing"},
    {"PortZeroRefused", "tcp://h:0", false, "", 0, "from 1 to 65535"},
    {"PortAboveRangeRefused", "tcp://h:65536", false, "", 0, "from 1 to 65535"},
    {"PortWithLettersRefused", "tcp://h:40a1", false, "", 0, "from 1 to 65535"},
    {"BareIpv6WouldHideThePort", "tcp://::1:4001", false, "", 0, "expected tcp://host:port"},
    {"EmptyHostRefused", "tcp://:4001", false, "", 0, "expected tcp://host:port"},
    {"BlankInHostRefused", "tcp://rack server:4001", false, "", 0, "expected tcp://host:port"},
    {"DevicePathIsNoTarget", "/dev/ttyUSB0", false, "", 0, "expected tcp://host:port"},
};

void PrintTo(const TargetCase& row, std::ostream* out) {
    *out << row.name;
}

class TcpTargetTest : public ::testing::TestWithParam<TargetCase> {};

TEST_P(TcpTargetTest, ParsesOrSaysWhy) {
    const TargetCase& row = GetParam();
    QString error;
    const std::optional<TcpTarget> target = ParseTcpTarget(QString::fromUtf8(row.text), &error);
    ASSERT_EQ(target.has_value(), row.valid) << error.toStdString();
    if (row.valid) {
        EXPECT_EQ(target->host, row.host);
        EXPECT_EQ(target->port, row.port);
    } else {
        EXPECT_TRUE(error.contains(QString::fromLatin1(row.errorPart))) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(row.text))) << "the error names the port";
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, TcpTargetTest, ::testing::ValuesIn(kTargetCases),
                         [](const auto& info) { return std::string(info.param.name); });

class TcpLinkTest : public ::testing::Test {
protected:
    SerialPort m_port;
    CommandChannel m_channel{m_port};
};

TEST_F(TcpLinkTest, ConnectsAndAnswersTheModelQuery) {
    SimProcess sim({"--baud", "0", "--model", "ZA04"}, SimProcess::Line::Tcp);
    ASSERT_TRUE(sim.IsRunning());
    ASSERT_TRUE(m_port.Open(sim.LinkPath())) << m_port.LastError().toStdString();
    EXPECT_EQ(Reply(m_channel, CommandChannel::Kind::Command, "Main.Model?"), "Main.Model=ZA04");
    EXPECT_EQ(Reply(m_channel, CommandChannel::Kind::Command, "Main.Volume=-25"),
              "Main.Volume=-25");
}

TEST_F(TcpLinkTest, BulkReadOverTcpStoresEveryAnswer) {
    SimProcess sim({"--baud", "0"}, SimProcess::Line::Tcp);
    ASSERT_TRUE(m_port.Open(sim.LinkPath())) << m_port.LastError().toStdString();
    SettingsStore store;
    EXPECT_TRUE(Await(
        ReadAllFromReceiver(store, m_channel, nullptr, "Connecting", ModelBitOf("ZA11"), {})));
    EXPECT_EQ(store.LineCount(), 584);
    EXPECT_EQ(store.Lines().front(), "Tuner.DigitalMode=XM");
}

TEST_F(TcpLinkTest, ServerGoneMidReadIsALostDevice) {
    // Paced like the real line, the read takes seconds; the server goes in the middle.
    SimProcess sim({"--baud", "115200"}, SimProcess::Line::Tcp);
    ASSERT_TRUE(m_port.Open(sim.LinkPath())) << m_port.LastError().toStdString();
    QSignalSpy lost(&m_port, &SerialPort::DeviceLost);
    // What the window and the tool do on a lost device: close, so that the
    // remaining queries end at once.
    QObject::connect(&m_port, &SerialPort::DeviceLost, [this] { m_port.Close(); });
    QTimer::singleShot(300, [&sim] { sim.Stop(); });
    SettingsStore store;
    store.ResetToDefaults();
    EXPECT_FALSE(Await(
        ReadAllFromReceiver(store, m_channel, nullptr, "Connecting", ModelBitOf("ZA11"), {})));

    ASSERT_EQ(lost.count(), 1);
    EXPECT_EQ(lost.at(0).at(0).toString(),
              "Lost " + sim.LinkPath() + ": the device server closed the connection");
    // A broken read leaves the store as it was.
    SettingsStore defaults;
    defaults.ResetToDefaults();
    EXPECT_EQ(store.Lines(), defaults.Lines());
}

TEST_F(TcpLinkTest, RefusedConnectionSaysSo) {
    const QString target = RefusingTcpTarget();
    EXPECT_FALSE(m_port.Open(target));
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_EQ(m_port.LastError(),
              "Cannot open " + target + ": connection refused (nothing listens on that port)");
    EXPECT_EQ(Reply(m_channel, CommandChannel::Kind::Command, "Main.Model?"), "");
}

TEST_F(TcpLinkTest, SecondConsoleIsRefusedAndFirstKeepsTheLine) {
    SimProcess sim({"--baud", "0"}, SimProcess::Line::Tcp);
    ASSERT_TRUE(m_port.Open(sim.LinkPath())) << m_port.LastError().toStdString();
    ASSERT_EQ(Reply(m_channel, CommandChannel::Kind::Command, "Main.Model?"), "Main.Model=ZA11");

    // The kernel completes the second connection; the server then closes it.
    SerialPort second;
    QSignalSpy lost(&second, &SerialPort::DeviceLost);
    ASSERT_TRUE(second.Open(sim.LinkPath())) << second.LastError().toStdString();
    ASSERT_TRUE(lost.wait(3000));
    EXPECT_TRUE(second.IsLost());
    EXPECT_TRUE(sim.ErrorOutput().contains("refused a second console"))
        << sim.ErrorOutput().constData();

    EXPECT_EQ(Reply(m_channel, CommandChannel::Kind::Command, "Main.Source?").left(12),
              "Main.Source=");
    EXPECT_FALSE(m_port.IsLost());
}

TEST_F(TcpLinkTest, NextConsoleGetsTheLineOnceTheFirstLeft) {
    SimProcess sim({"--baud", "0"}, SimProcess::Line::Tcp);
    ASSERT_TRUE(m_port.Open(sim.LinkPath()));
    ASSERT_EQ(Reply(m_channel, CommandChannel::Kind::Command, "Main.Model?"), "Main.Model=ZA11");
    m_port.Close();
    ASSERT_TRUE(m_port.Open(sim.LinkPath())) << m_port.LastError().toStdString();
    EXPECT_EQ(Reply(m_channel, CommandChannel::Kind::Command, "Main.Model?"), "Main.Model=ZA11");
}

// A listener with a backlog of one that never accepts: once one connection
// waits in its queue, the next connect's handshake is not answered and the
// connect stays pending until its time-out.
class StalledListener {
public:
    StalledListener() {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_listener, 0) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_queued = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(m_queued, reinterpret_cast<sockaddr*>(&address), length) != 0)
            m_port = 0;
    }
    ~StalledListener() {
        for (int fd : m_accepted)
            ::close(fd);
        ::close(m_queued);
        ::close(m_listener);
    }
    StalledListener(const StalledListener&) = delete;
    StalledListener& operator=(const StalledListener&) = delete;
    QString Target() const { return QStringLiteral("tcp://127.0.0.1:%1").arg(m_port); }
    // Makes room in the queue; the pending connect completes with its next
    // handshake retry, about a second later.
    void AcceptQueued() {
        const int accepted = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (accepted >= 0)
            m_accepted.push_back(accepted);
    }
    bool Ready() const { return m_port != 0; }

private:
    int m_listener = -1;
    int m_queued = -1;
    std::vector<int> m_accepted;
    quint16 m_port = 0;
};

TEST_F(TcpLinkTest, CloseDuringConnectWins) {
    StalledListener server;
    ASSERT_TRUE(server.Ready());
    // Close comes while the connect runs on its helper; the connect succeeds
    // only afterwards, and must not open the port.
    std::optional<bool> opened;
    m_port.OpenAsync(server.Target(), SerialPort::kDefaultBaud, [&](bool ok) { opened = ok; });
    EXPECT_TRUE(m_port.IsOpening());
    m_port.Close();
    server.AcceptQueued();
    ASSERT_TRUE(opened.has_value());
    EXPECT_FALSE(*opened);
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_TRUE(m_port.LastError().contains("closed while connecting"))
        << m_port.LastError().toStdString();
}

}  // namespace
