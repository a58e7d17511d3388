#include "LinkTestSupport.h"
#include "PtyPeer.h"
#include "SerialPort.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

void Pump(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_peer.IsOpen());
        ASSERT_TRUE(m_port.Open(m_peer.DevicePath())) << m_port.LastError().toStdString();
    }

    PtyPeer m_peer;
    SerialPort m_port;
};

struct LineCase {
    const char* name;
    QByteArray received;
    QList<QByteArray> expected;
};

QByteArray Digits(int count) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(static_cast<char>('0' + i % 10));
    return bytes;
}

const LineCase kLineCases[] = {
    {"NinetyNineByteLineArrivesWhole", Digits(99) + '\r', {Digits(99)}},
    {"HundredByteLineKeepsLast99Bytes", Digits(100) + '\r', {Digits(100).right(99)}},
    {"LongLineKeepsLast99Bytes", Digits(150) + '\r', {Digits(150).right(99)}},
    {"CrCrGivesEmptyLine", "A\r\rB\r", {"A", "", "B"}},
    {"FramedAnswerArrivesAfterEmptyLine", "\rMain.Model=ZA01\r", {"", "Main.Model=ZA01"}},
    {"LineFeedIsOrdinaryByte", "A\r\nB\r", {"A", "\nB"}},
    {"NulEndsDeliveredText", QByteArray("AB\0CD\rE\r", 8), {"AB", "E"}},
    {"ValueKeepsBlanksAndBytesAbove127", "Source1.Name= TV \xE9\r", {"Source1.Name= TV \xE9"}},
};

// Test names list the row by name, not by its bytes.
void PrintTo(const LineCase& row, std::ostream* out) {
    *out << row.name;
}

class LineCuttingTest : public SerialPortTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(LineCuttingTest, DeliversLinesAsCut) {
    const LineCase& row = GetParam();
    LineLog log(m_port);
    ASSERT_TRUE(m_peer.WriteAll(row.received));
    ASSERT_TRUE(log.WaitFor(row.expected.size()));
    Pump(20);  // nothing more may follow
    EXPECT_EQ(log.Lines(), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, LineCuttingTest, ::testing::ValuesIn(kLineCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialPortTest, ThreeQuickWritesGoOutInOrder) {
    ASSERT_TRUE(m_port.Write("\rMain.Volume+\r"));
    ASSERT_TRUE(m_port.Write("\rMain.Trim.Sub-\r"));
    ASSERT_TRUE(m_port.Write("\rTuner?\r"));
    EXPECT_EQ(m_peer.ReadUntil("Tuner?\r", 3s), "\rMain.Volume+\r\rMain.Trim.Sub-\r\rTuner?\r");
}

// The peer reads nothing, so the pseudo-terminal fills up and the big write
// stalls. It and the one queued behind it must each be given up after their
// 100 ms instead of blocking every later write.
TEST_F(SerialPortTest, StalledWriteIsGivenUp) {
    const QByteArray big(400 * 1024, 'x');
    ASSERT_TRUE(m_port.Write(big));
    ASSERT_TRUE(m_port.Write("\rSTALLED\r"));
    Pump(600);
    ASSERT_TRUE(m_port.Write("\rLAST\r"));
    const QByteArray received = m_peer.ReadUntil("LAST\r", 5s);
    EXPECT_TRUE(received.endsWith("\rLAST\r"));
    EXPECT_LT(received.size(), big.size());
    EXPECT_FALSE(received.contains("STALLED"));
}

TEST_F(SerialPortTest, CloseDiscardsQueuedWrites) {
    ASSERT_TRUE(m_port.Write(QByteArray(400 * 1024, 'x')));
    ASSERT_TRUE(m_port.Write("\rQUEUED1\r"));
    ASSERT_TRUE(m_port.Write("\rQUEUED2\r"));
    EXPECT_TRUE(m_port.Close());
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_FALSE(m_port.Write("\rAFTER\r"));

    ASSERT_TRUE(m_port.Open(m_peer.DevicePath())) << m_port.LastError().toStdString();
    ASSERT_TRUE(m_port.Write("\rFRESH\r"));
    const QByteArray received = m_peer.ReadUntil("FRESH\r", 5s);
    EXPECT_TRUE(received.endsWith("\rFRESH\r"));
    EXPECT_FALSE(received.contains("QUEUED"));
    EXPECT_FALSE(received.contains("AFTER"));
}

TEST_F(SerialPortTest, OpenOnOpenPortReleasesTheFirstDevice) {
    PtyPeer second;
    ASSERT_TRUE(second.IsOpen());
    ASSERT_TRUE(m_port.Open(second.DevicePath())) << m_port.LastError().toStdString();
    EXPECT_EQ(m_port.DevicePath(), second.DevicePath());

    LineLog log(m_port);
    ASSERT_TRUE(m_peer.WriteAll("OLD\r"));
    ASSERT_TRUE(second.WriteAll("NEW\r"));
    ASSERT_TRUE(log.WaitFor(1));
    Pump(20);
    EXPECT_EQ(log.Lines(), QList<QByteArray>{"NEW"});

    SerialPort other;
    EXPECT_TRUE(other.Open(m_peer.DevicePath())) << other.LastError().toStdString();
}

TEST_F(SerialPortTest, SecondOpenerIsRefusedWithReason) {
    const qsizetype threads = ThreadCount();
    SerialPort second;
    EXPECT_FALSE(second.Open(m_peer.DevicePath()));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_TRUE(second.LastError().contains(QStringLiteral("in use")))
        << second.LastError().toStdString();
    EXPECT_EQ(ThreadCount(), threads);
}

struct FailedOpenCase {
    const char* name;
    QString path;
    unsigned baud;
    const char* reason;
};

TEST(SerialPortOpen, FailedOpenStartsNoThread) {
    PtyPeer peer;
    ASSERT_TRUE(peer.IsOpen());
    const FailedOpenCase cases[] = {
        {"missing device", QStringLiteral("/dev/ampdesk-no-such-port"), 115200, "no such device"},
        {"not a terminal", QStringLiteral("/dev/null"), 115200, "not a serial device"},
        {"unknown baud rate", peer.DevicePath(), 12345, "unsupported baud rate"},
    };
    for (const FailedOpenCase& row : cases) {
        SCOPED_TRACE(row.name);
        const qsizetype threads = ThreadCount();
        SerialPort port;
        EXPECT_FALSE(port.Open(row.path, row.baud));
        EXPECT_FALSE(port.IsOpen());
        EXPECT_TRUE(port.LastError().contains(QLatin1String(row.reason)))
            << port.LastError().toStdString();
        EXPECT_EQ(ThreadCount(), threads);
        EXPECT_FALSE(port.Write("\rMain.Source?\r"));
        EXPECT_TRUE(port.Close());
    }
}

TEST_F(SerialPortTest, HangUpIsReportedOnceWithoutSpinning) {
    QSignalSpy lost(&m_port, &SerialPort::DeviceLost);
    m_peer.CloseMaster();
    ASSERT_TRUE(lost.wait(3000));

    const auto cpuBefore = ProcessCpuTime();
    Pump(1000);
    const auto cpuSpent = ProcessCpuTime() - cpuBefore;
    EXPECT_LT(cpuSpent, 100ms) << "worker keeps polling a hung-up device";

    EXPECT_EQ(lost.count(), 1);
    EXPECT_TRUE(m_port.IsOpen());
    EXPECT_TRUE(m_port.IsLost());
    EXPECT_TRUE(m_port.Write("\rMain.Source?\r"));  // goes nowhere, like a cut cable
    EXPECT_FALSE(m_port.LastError().isEmpty());
    EXPECT_TRUE(m_port.Close());
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_FALSE(m_port.IsLost());
}

QByteArray NumberedLines(char prefix, int count) {
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += prefix + QByteArray::number(i) + '\r';
    return bytes;
}

TEST_F(SerialPortTest, CloseDuringDeliveryDoesNotDeadlock) {
    const qsizetype threadsBefore = ThreadCount();
    int delivered = 0;
    QObject::connect(&m_port, &SerialPort::LineReceived, [&] {
        if (++delivered == 10)
            m_port.Close();
    });
    ASSERT_TRUE(m_peer.WriteAll(NumberedLines('A', 300)));
    for (int i = 0; i < 50 && delivered < 10; ++i)
        Pump(20);
    ASSERT_EQ(delivered, 10);
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_EQ(ThreadCount(), threadsBefore - 1);  // the worker has ended
    ASSERT_TRUE(m_peer.WriteAll(NumberedLines('B', 20)));
    Pump(50);
    EXPECT_EQ(delivered, 10);
}

TEST_F(SerialPortTest, LinesOfClosedSessionAreNotDeliveredToNewOne) {
    QList<QByteArray> afterReopen;
    bool reopened = false;
    QObject::connect(&m_port, &SerialPort::LineReceived, [&](const QByteArray& line) {
        if (reopened) {
            afterReopen.append(line);
            return;
        }
        reopened = true;
        ASSERT_TRUE(m_port.Open(m_peer.DevicePath()));
        // A nested event loop inside the handler must not deliver either.
        Pump(30);
    });
    ASSERT_TRUE(m_peer.WriteAll(NumberedLines('A', 300)));
    for (int i = 0; i < 50 && !reopened; ++i)
        Pump(20);
    ASSERT_TRUE(reopened);
    ASSERT_TRUE(m_peer.WriteAll("NEW\r"));
    for (int i = 0; i < 50 && !afterReopen.contains("NEW"); ++i)
        Pump(20);
    for (const QByteArray& line : afterReopen)
        EXPECT_FALSE(line.startsWith('A')) << line.data();
    EXPECT_TRUE(afterReopen.contains("NEW"));
}

}  // namespace
