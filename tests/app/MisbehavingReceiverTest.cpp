#include "AppFixture.h"

#include "ByteText.h"
#include "DefaultSettings.h"
#include "ScriptedReceiver.h"
#include "SettingsFile.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <climits>

namespace {

using namespace std::chrono_literals;

// A stand-in receiver that answers like a sound unit: its model, every query
// from the default lines (in their spelling), every set with the value sent.
ScriptedReceiver::Answer SoundAnswer(const QByteArray& command) {
    if (command.endsWith('?')) {
        const QByteArray key = command.chopped(1);
        if (EqualsIgnoringCase(key, "Main.Model"))
            return "Main.Model=ZA11";
        if (!key.contains('.'))
            return {};  // a section query; its lines do not matter here
        for (const QByteArray& line : DefaultLines()) {
            const qsizetype equals = line.indexOf('=');
            if (equals > 0 && EqualsIgnoringCase(line.left(equals), key))
                return line;
        }
        return key + "=0";
    }
    return command.contains('=') ? ScriptedReceiver::Answer(command) : ScriptedReceiver::Answer();
}

enum class Phase { ConnectRead, Connected, Restore };
enum class Trouble { Silent, HangUp, UserCloses, UserChanges, InvalidSource, BadFileLines };
enum class Link { Kept, Dropped, Either };

struct Scenario {
    const char* name;
    Phase phase;
    Trouble trouble;
    int at;  // the phase's command (1 = first) at which the trouble starts
    int latencyMs;
    Link link;
    bool storeAsBefore;  // the read ended early and put the old settings back
    bool storeComplete;  // an answer for every one of the 584 queries
    // At most received from `at` on (a bulk transfer has two on the wire); -1: not counted.
    int commandsFromTrouble;
    const char* message;  // part of a message the user is shown; nullptr: none
};

void PrintTo(const Scenario& s, std::ostream* os) {
    *os << s.name;
}

const Scenario kScenarios[] = {
    {"SilentDuringReadEndsAfterTheLossCheck", Phase::ConnectRead, Trouble::Silent, 101, 0,
     Link::Dropped, true, false, 4, nullptr},
    {"HangUpDuringReadEndsAtOnce", Phase::ConnectRead, Trouble::HangUp, 292, 0, Link::Dropped, true,
     false, 1, nullptr},
    {"CloseDuringReadEndsAtOnce", Phase::ConnectRead, Trouble::UserCloses, 200, 0, Link::Dropped,
     true, false, 2, nullptr},
    {"UserChangesDuringReadLoseNoAnswer", Phase::ConnectRead, Trouble::UserChanges, 100, 2,
     Link::Kept, false, true, -1, nullptr},
    {"InvalidSourceBoxKeepsTheLinkAlive", Phase::Connected, Trouble::InvalidSource, 0, 0,
     Link::Kept, false, true, -1, "invalid source number"},
    {"SilentDuringRestoreStopsAndListsUnsent", Phase::Restore, Trouble::Silent, 50, 0, Link::Either,
     false, false, 4, "not sent: the connection was lost."},
    {"HangUpDuringRestoreStopsAtOnce", Phase::Restore, Trouble::HangUp, 50, 0, Link::Dropped, false,
     false, 1, "not sent: the connection was lost."},
    {"RestoreRefusesLinesThatWouldBreakOnTheWire", Phase::Restore, Trouble::BadFileLines, 0, 0,
     Link::Kept, false, false, -1, "Main.Treble=\\r1: not sent: it holds a carriage return"},
};

const QByteArray kBadFileLines = QByteArrayLiteral("Main.Power=On\r\nMain.Treble=\r1\r\n") +
                                 QByteArray("Main.Vol\0ume=-20\r\n", 18) + QByteArray(10000, 'K') +
                                 "=1\r\nMain.Mute=On\r\n";

class MisbehavingReceiver : public AppFixture, public ::testing::WithParamInterface<Scenario> {
protected:
    // Commands counted by the stand-in; from `m_troubleFrom` on it is silent or
    // hangs up.
    ScriptedReceiver::Answer Answer(const QByteArray& command) {
        const int n = ++m_count;
        if (n >= m_troubleFrom) {
            if (GetParam().trouble == Trouble::HangUp)
                return ScriptedReceiver::Answer::HangUp();
            if (GetParam().trouble != Trouble::UserChanges)
                return {};
        }
        return SoundAnswer(command);
    }

    QString WriteSettingsFile() {
        const QString path = m_home.path() + "/restore.kvx";
        if (GetParam().trouble == Trouble::BadFileLines) {
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("<ORVA Settings File>\r\n<DESCRIPTION></DESCRIPTION>\r\n" + kBadFileLines +
                       "</ORVA Settings File>");
            return path;
        }
        SettingsStore defaults;
        defaults.ResetToDefaults();
        EXPECT_TRUE(SaveToFile(defaults, path, QByteArray()).ok);
        return path;
    }

    std::atomic<int> m_count{0};
    std::atomic<int> m_troubleFrom{INT_MAX};
};

TEST_P(MisbehavingReceiver, NothingIsLostAndNothingHangs) {
    const Scenario& s = GetParam();
    ScriptedReceiver receiver([this](const QByteArray& command, int) { return Answer(command); },
                              std::chrono::milliseconds(s.latencyMs));
    ASSERT_TRUE(receiver.IsRunning());
    MainDialog& w = Window();
    w.SelectTab("Control");

    // The window keeps handling events throughout. A phase that ends within a
    // tick or two proves nothing either way, so only longer ones are judged.
    int ticks = 0;
    QElapsedTimer phaseTime;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(20);

    int phaseStart = 0;
    if (s.phase != Phase::ConnectRead) {
        ASSERT_TRUE(ConnectOn(receiver.DevicePath()));
        ASSERT_TRUE(WaitFor([&] { return receiver.ReceivedCommands().contains("Tuner?"); }, 3000));
        phaseStart = m_count;
    }
    const std::vector<QByteArray> before = w.Store().Lines();
    const QString bassBefore = ControlCombo(ControlId::Bass)->currentText();
    const int troubleAt = phaseStart + s.at;
    if (s.trouble == Trouble::Silent || s.trouble == Trouble::HangUp ||
        s.trouble == Trouble::UserCloses) {
        m_troubleFrom = troubleAt;
    }

    // The user's part, played from a timer that runs inside the waits.
    int changes = 0;
    bool closed = false;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (s.trouble == Trouble::UserCloses && !closed && m_count >= troubleAt) {
            closed = true;
            w.reject();
        }
        if (s.trouble == Trouble::UserChanges && changes < 4 &&
            m_count >= troubleAt + 100 * changes) {
            Choose(ControlCombo(ControlId::Bass), changes % 2 == 0 ? "4 dB" : "2 dB");
            ++changes;
        }
    });
    user.start(2);

    phaseTime.start();
    switch (s.phase) {
        case Phase::ConnectRead:
            ConnectOn(receiver.DevicePath());
            break;
        case Phase::Connected: {
            // The box stays open until the keep-alive has asked twice and the
            // second poll's second has passed.
            m_prompts.whileShowing = [&] {
                const int polls = receiver.ReceivedCommands().count("Main.Source?");
                WaitFor(
                    [&] { return receiver.ReceivedCommands().count("Main.Source?") >= polls + 2; },
                    5000);
                QTest::qWait(1200);
            };
            receiver.Say("Main.Source=0");
            ASSERT_TRUE(WaitFor([&] { return !m_prompts.messages.isEmpty(); }, 3000));
            break;
        }
        case Phase::Restore:
            m_prompts.openPaths = {WriteSettingsFile()};
            w.LoadSettings();
            WaitUntilFree();
            break;
    }
    user.stop();

    if (phaseTime.elapsed() >= 100) {
        EXPECT_GT(ticks, 0);
    }
    switch (s.link) {
        case Link::Kept:
            EXPECT_TRUE(w.State().connected);
            EXPECT_TRUE(w.Session().IsOpen());
            EXPECT_TRUE(w.StatusText().startsWith("Connected to ZA11"))
                << qPrintable(w.StatusText());
            break;
        case Link::Dropped:
            EXPECT_FALSE(w.State().connected);
            EXPECT_FALSE(w.Session().IsOpen());
            EXPECT_EQ(w.StatusText(), "Not connected to a Unit");
            break;
        case Link::Either:
            break;
    }
    if (s.phase == Phase::ConnectRead && s.link == Link::Dropped) {
        // A connection it never had is never reported.
        for (const QString& status : StatusHistory())
            EXPECT_FALSE(status.startsWith("Connected to")) << qPrintable(status);
    }
    if (s.storeAsBefore) {
        EXPECT_EQ(w.Store().Lines(), before);
        EXPECT_EQ(ControlCombo(ControlId::Bass)->currentText(), bassBefore);
    }
    if (s.storeComplete) {
        EXPECT_EQ(w.Store().LineCount(), 584);
    }
    if (s.trouble == Trouble::UserChanges) {
        EXPECT_EQ(changes, 4);
    }
    if (s.commandsFromTrouble >= 0) {
        // The command written as the give-up is decided may or may not reach
        // the receiver before the port closes, so this is an upper bound.
        EXPECT_LE(m_count - troubleAt + 1, s.commandsFromTrouble);
    }
    if (s.trouble == Trouble::BadFileLines) {
        QByteArrayList restored = receiver.ReceivedCommands().mid(phaseStart);
        restored.removeAll("Main.Source?");
        EXPECT_EQ(restored, (QByteArrayList{"Main.Power=On", "Main.Mute=On"}));
    }

    if (s.message == nullptr) {
        EXPECT_TRUE(m_prompts.messages.isEmpty()) << qPrintable(m_prompts.messages.join('\n'));
    } else {
        ASSERT_FALSE(m_prompts.messages.isEmpty());
        EXPECT_EQ(m_prompts.messages.count(m_prompts.messages.first()), 1);
        EXPECT_TRUE(m_prompts.messages.join('\n').contains(QString::fromLatin1(s.message)))
            << qPrintable(m_prompts.messages.join('\n'));
    }
    // Whatever a message quotes, it stays readable.
    for (const QString& message : m_prompts.messages) {
        for (const QString& line : message.split('\n'))
            EXPECT_LT(line.size(), 200) << qPrintable(line.left(200));
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, MisbehavingReceiver, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
