// The window under load and under faults: a status flood at the full line
// rate, garbage between the replies of a bulk read, many connections in a row
// and hostile settings files. Each test asserts that nothing was lost and that
// the window stayed alive (its timers kept firing).

#include "AppFixture.h"
#include "Await.h"

#include "ByteText.h"
#include "ReceiverSession.h"
#include "ScriptedReceiver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QTimer>

#include <csignal>
#include <random>

namespace {

// The flood runs this long in the test (the benchmark runs 30 s): long enough
// for some 6500 status lines at 115200 baud and for any slowdown to pile up.
constexpr int kFloodSeconds = 10;
// A timer of the window must keep firing within this, flood or not.
constexpr qint64 kTimerSlackMs = 100;
constexpr int kConnectCycles = 100;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

// Watches the event loop: a 20 ms timer that notes the longest gap between
// two of its ticks.
class TimerWatch {
public:
    TimerWatch() {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longestGapMs = std::max(m_longestGapMs, m_sinceTick.restart());
            ++m_ticks;
        });
        m_sinceTick.start();
        m_timer.start(20);
    }
    qint64 LongestGapMs() const { return m_longestGapMs; }
    int Ticks() const { return m_ticks; }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longestGapMs = 0;
    int m_ticks = 0;
};

QByteArray ProcessFile(const char* path) {
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int OpenDescriptors() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                                .size());
}

double ResidentMegabytes() {
    for (const QByteArray& line : ProcessFile("/proc/self/status").split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// The stored value of `key` (matched ignoring case, as SetValue matches).
bool StoredValue(const SettingsStore& store, const QByteArray& key, QByteArray* value) {
    QByteArray lineKey;
    for (const QByteArray& line : store.Lines()) {
        if (SplitLine(line, &lineKey, value) && EqualsIgnoringCase(lineKey, key))
            return true;
    }
    return false;
}

class Soak : public AppFixture {};

TEST_F(Soak, StatusFloodKeepsTimersOnTimeAndStoresEveryValue) {
    // A front-panel change every millisecond is more than the line carries, so
    // the receiver sends status lines back to back at 115200 baud.
    ConnectToSim(1, {"--baud", "115200", "--front-panel-ms", "1"});
    MainDialog& w = Window();
    ASSERT_TRUE(w.State().connected);
    w.SelectTab(QStringLiteral("Control"));
    const qsizetype sentMark = m_sim->SentLines().size();
    const qint64 bytesMark = m_sim->BytesSent();

    TimerWatch watch;
    QElapsedTimer flood;
    flood.start();
    WaitFor([] { return false; }, kFloodSeconds * 1000);
    const qint64 floodMs = flood.elapsed();
    EXPECT_LT(watch.LongestGapMs(), kTimerSlackMs);
    EXPECT_GT(watch.Ticks(), kFloodSeconds * 1000 / 20 / 2);

    // Stop the receiver; it still sends what it had queued, so wait until its
    // log stands still.
    m_sim->Signal(SIGUSR1);
    qsizetype count = m_sim->SentLines().size();
    for (int wait = 0; wait < 30; ++wait) {
        WaitFor([] { return false; }, 300);
        const qsizetype now = m_sim->SentLines().size();
        if (now == count)
            break;
        count = now;
    }
    const QList<QByteArray> sent = m_sim->SentLines().mid(sentMark);
    // The line was busy: its bytes took at least half the flood's time to cross it.
    const double wireSeconds = static_cast<double>(m_sim->BytesSent() - bytesMark) * 10 / 115200;
    EXPECT_GT(wireSeconds, floodMs / 1000.0 / 2) << sent.size() << " lines";

    QHash<QByteArray, QByteArray> last;  // key in capitals -> last value sent
    QHash<QByteArray, QByteArray> spelling;
    for (const QByteArray& line : sent) {
        QByteArray key;
        QByteArray value;
        if (SplitLine(line, &key, &value)) {
            last.insert(UpperAscii(key), value);
            spelling.insert(UpperAscii(key), key);
        }
    }
    ASSERT_FALSE(last.isEmpty());
    const auto allStored = [&] {
        for (auto it = last.cbegin(); it != last.cend(); ++it) {
            QByteArray stored;
            if (StoredValue(w.Store(), spelling.value(it.key()), &stored) && stored != it.value())
                return false;
        }
        return true;
    };
    EXPECT_TRUE(WaitFor(allStored, 3000));
    int checked = 0;
    for (auto it = last.cbegin(); it != last.cend(); ++it) {
        QByteArray stored;
        if (!StoredValue(w.Store(), spelling.value(it.key()), &stored))
            continue;
        ++checked;
        EXPECT_EQ(stored, it.value()) << spelling.value(it.key()).constData();
    }
    EXPECT_GT(checked, 20);
    EXPECT_EQ(w.Store().LineCount(), 584);
}

// What the receiver puts in front of the answers: unframed noise, NUL bytes,
// a 10 kB line without CR, and 200-byte lines that look like values.
QByteArray Garbage(int occurrence, std::mt19937& random) {
    switch (occurrence % 4) {
        case 0: {
            QByteArray noise;
            for (int i = 0; i < 64; ++i) {
                char byte = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
                noise += byte == '\r' ? 'x' : byte;
            }
            return noise;
        }
        case 1:
            return QByteArray(16, '\0') + "Main.Volume=0" + QByteArray(8, '\0');
        case 2:
            return QByteArray(10 * 1024, 'G');
        default:
            return "Zz.Filler=" + QByteArray(190, 'f') + '\r' + "Yy.Filler=" + QByteArray(190, 'y');
    }
}

TEST_F(Soak, GarbageBetweenRepliesOfABulkReadLosesNoReply) {
    std::mt19937 random(1207);
    int garbageCount = 0;
    // Answers "SECTION.Param?" with "Section.Param=<n>" after some garbage.
    ScriptedReceiver receiver([&](const QByteArray& command, int) -> QByteArray {
        if (command == "Main.Model?")
            return "Main.Model=ZA11";
        if (!command.endsWith('?'))
            return {};
        const QByteArray key = command.chopped(1);
        const QByteArray answer = key + '=' + QByteArray::number(qHash(key) % 1000);
        return Garbage(garbageCount++, random) + '\r' + answer;
    });
    ASSERT_TRUE(receiver.IsRunning());
    LinkPort(1, receiver.DevicePath());

    ASSERT_TRUE(ConnectOn(QStringLiteral("COM1")));
    MainDialog& w = Window();
    EXPECT_TRUE(w.State().connected);
    TimerWatch watch;
    EXPECT_TRUE(WaitFor([&] { return watch.Ticks() >= 3; }, 2000));

    // Every answer stored, with no time-out: the garbage ends two commands on
    // the wire at the first line, and the one or two not yet settled are asked
    // again one at a time.
    const QList<QByteArray> commands = receiver.ReceivedCommands();
    int queries = 0;
    for (const QByteArray& command : commands) {
        if (!command.endsWith('?') || command == "Main.Model?" || command == "Main.Source?" ||
            command == "Tuner?")
            continue;
        ++queries;
        const QByteArray key = command.chopped(1);
        // Asked as "MAIN.Volume", stored as the pages read it: "Main.Volume".
        const qsizetype dot = key.indexOf('.');
        const QByteArray stored = key.left(1) + key.mid(1, dot - 1).toLower() + key.mid(dot);
        EXPECT_EQ(w.Store().GetValue(stored), QByteArray::number(qHash(key) % 1000))
            << key.constData();
    }
    EXPECT_GE(queries, 584);
    EXPECT_LE(queries, 586);
    EXPECT_EQ(w.Store().LineCount(), 584);
    EXPECT_GE(garbageCount, 584);
}

TEST_F(Soak, HundredConnectionsLeaveNoDescriptorOrMemoryBehind) {
    StartSim(1);
    MainDialog& w = Window();
    int descriptorsAfterFirst = 0;
    double megabytesAfterTenth = 0;
    for (int cycle = 1; cycle <= kConnectCycles; ++cycle) {
        ASSERT_TRUE(Await(w.Session().ConnectTo(QStringLiteral("COM1")))) << "cycle " << cycle;
        // Disconnect as closing the window does: keep-alive off, port closed.
        w.Session().StopKeepAlive();
        w.State().connected = false;
        w.Session().Close();
        WaitFor([] { return false; }, 0);
        if (cycle == 1)
            descriptorsAfterFirst = OpenDescriptors();
        if (cycle == 10)
            megabytesAfterTenth = ResidentMegabytes();
    }
    EXPECT_EQ(OpenDescriptors(), descriptorsAfterFirst);
    // Memory settles after the first connections (caches); 90 more must not
    // make it grow with them. Under AddressSanitizer freed memory is held back
    // on purpose (up to 256 MB), so there the leak checker at exit decides.
    if (!kAddressSanitizer) {
        EXPECT_LT(ResidentMegabytes() - megabytesAfterTenth, 4.0);
    }
    EXPECT_EQ(m_sim->ReceivedCommands().count("Main.Model?"), kConnectCycles);
}

struct HostileFile {
    const char* name;
    QByteArray bytes;
};

void PrintTo(const HostileFile& file, std::ostream* out) {
    *out << file.name;
}

QByteArray RandomBytes(int size) {
    std::mt19937 random(20261207);
    QByteArray bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
    return bytes;
}

QByteArray SettingsFile(const QByteArray& body) {
    return "<ORVA Settings File>\r\n<DESCRIPTION></DESCRIPTION>\r\n" + body +
           "\r\n</ORVA Settings File>";
}

const HostileFile kHostileFiles[] = {
    {"TenKilobyteKey", SettingsFile(QByteArray(10 * 1024, 'K') + "=1\r\nMain.Bass=4")},
    {"LoneCarriageReturns", SettingsFile("Main.Bass=4\rMain.Treble=2\r\rMain.Mute=On")},
    {"NulBytes", SettingsFile(QByteArray("Main.Bass=4\0\0\r\nMain.\0Treble=2\r\n\0", 33))},
    {"HighBytes", SettingsFile("Source1.Name=\xe9\xff\x80\x81\r\n\xc3\xa9=\xfe")},
    {"MegabyteOfRandomBytes", RandomBytes(1024 * 1024)},
    {"MegabyteOfRandomBytesAfterTheMagicLine",
     SettingsFile(RandomBytes(1024 * 1024).replace('\n', ' '))},
};

class HostileSettings : public AppFixture, public ::testing::WithParamInterface<HostileFile> {};

TEST_P(HostileSettings, GiveAClearMessageOrACleanLoad) {
    StartSim(1);
    ASSERT_TRUE(ConnectOn(QStringLiteral("COM1")));
    MainDialog& w = Window();
    const std::vector<QByteArray> before = w.Store().Lines();

    const QString path = m_home.filePath(QStringLiteral("hostile.kvx"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(GetParam().bytes), GetParam().bytes.size());
    file.close();

    TimerWatch watch;
    m_prompts.openPaths = {path};
    w.LoadSettings();
    WaitUntilFree();

    const bool loaded = w.Store().Lines() != before;
    EXPECT_TRUE(loaded || !m_prompts.messages.isEmpty())
        << "neither loaded nor told the user anything";
    for (const QString& message : m_prompts.messages)
        EXPECT_FALSE(message.isEmpty());
    // Still alive and still talking to the receiver.
    EXPECT_TRUE(WaitFor([&] { return watch.Ticks() >= 3; }, 2000));
    EXPECT_TRUE(w.State().connected);
    EXPECT_TRUE(QCoro::waitFor(w.Session().Ask(CommandChannel::Kind::Query, "Main.Model?"))
                    .Text()
                    .startsWith("Main.Model="));
}

INSTANTIATE_TEST_SUITE_P(Files, HostileSettings, ::testing::ValuesIn(kHostileFiles),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
