// A source name typed into the real window at an ordinary pace, a key every
// 150 ms, while the receiver simulator answers each set 200 ms after it came:
// how many sets of that name reach the receiver. Typing goes out when it
// pauses or ends, so the goal is at most 3, the last one the whole name; the
// program says so and fails otherwise.
//
// Runs on Qt's offscreen platform unless a display or platform is set.

#include "ControlIds.h"
#include "MainDialog.h"
#include "PageBinding.h"
#include "Profile.h"
#include "Prompts.h"
#include "SettingPage.h"
#include "SimProcess.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kKeyEveryMs = 150;
constexpr const char* kSetLatencyMs = "200";
constexpr int kMaximumSets = 3;
const QString kTypedName = QStringLiteral("Den Stereo");
const QByteArray kNameKey = QByteArrayLiteral("Source1.Name");
// From the last key until the receiver's last answer must have come.
constexpr int kSettleMs = 3000;

// Yes to the connect warning; messages are only printed.
class AnsweringPrompts : public Prompts {
public:
    void AskYesNo(QWidget*, const QString&, std::function<void(bool)> answered) override {
        answered(true);
    }
    void ShowMessage(QWidget*, const QString& text, std::function<void()> closed) override {
        std::fprintf(stderr, "bench_typing: message: %s\n", qPrintable(text));
        if (closed)
            closed();
    }
    void SaveFileName(QWidget*, std::function<void(const QString&)> chosen) override {
        chosen(QString());
    }
    void OpenFileNames(QWidget*, ChosenFiles chosen) override { chosen(std::nullopt); }
};

QByteArrayList NameSets(const SimProcess& sim) {
    QByteArrayList sets;
    for (const QByteArray& command : sim.ReceivedCommands()) {
        if (command.startsWith(kNameKey + '='))
            sets << command.mid(kNameKey.size() + 1);
    }
    return sets;
}

int Fail(const char* why) {
    std::fprintf(stderr, "bench_typing: %s\n", why);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir profile;
    qputenv("XDG_CONFIG_HOME", profile.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", (profile.path() + QStringLiteral("/data")).toLocal8Bit());
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, profile.path());

    // Queries answer at once, so that the connection's read takes seconds, not minutes.
    const SimProcess sim({QStringLiteral("--baud"), QStringLiteral("0"),
                          QStringLiteral("--set-latency-ms"), QString::fromLatin1(kSetLatencyMs)});
    if (!sim.IsRunning())
        return Fail("the receiver simulator did not start");
    QDir().mkpath(Profile::PortsFolder());
    QFile::link(sim.LinkPath(), Profile::PortsFolder() + QStringLiteral("/COM1"));

    AnsweringPrompts prompts;
    MainDialog window(prompts);
    window.show();
    window.activateWindow();
    SettingPage* sources = window.Binding().Page(static_cast<int>(PageIndex::Source));
    auto* name = qobject_cast<QLineEdit*>(sources->Control(kSourceNameIds[0]));
    if (name == nullptr)
        return Fail("no name edit for source 1");

    int status = 0;
    qsizetype typed = 0;
    QTimer keys;
    keys.setInterval(kKeyEveryMs);
    QObject::connect(&keys, &QTimer::timeout, [&] {
        if (typed < kTypedName.size()) {
            QTest::keyClick(name, kTypedName[typed++].toLatin1());
            return;
        }
        keys.stop();
        // Editing ends as the user moves on to the next control.
        QTest::keyClick(name, Qt::Key_Tab);
        QTimer::singleShot(kSettleMs, &app, [&] {
            const QByteArrayList sets = NameSets(sim);
            std::printf("typed_name_sets_at_200ms: %lld\n", static_cast<long long>(sets.size()));
            std::fflush(stdout);
            const bool whole = !sets.isEmpty() && sets.last() == kTypedName.toLatin1();
            if (sets.size() > kMaximumSets || !whole || name->text() != kTypedName) {
                std::fprintf(stderr,
                             "bench_typing: NOTE: goal missed: at most %d sets, the last \"%s\"; "
                             "sent: \"%s\"; the field shows \"%s\"\n",
                             kMaximumSets, qPrintable(kTypedName), sets.join("\", \"").constData(),
                             qPrintable(name->text()));
                status = 1;
            }
            app.exit(status);
        });
    });
    QObject::connect(&window.Session(), &ReceiverSession::AttemptEnded, &app, [&](bool connected) {
        if (!connected) {
            status = Fail("the window did not connect to the simulator");
            app.exit(status);
            return;
        }
        window.SelectTab(QStringLiteral("Source"));
        name->setFocus(Qt::TabFocusReason);
        name->selectAll();
        keys.start();
    });
    window.PortCombo()->setEditText(QStringLiteral("COM1"));
    window.OnConnect();
    return app.exec();
}
