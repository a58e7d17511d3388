#include "AppFixture.h"

#include "Await.h"

#include "ControlPage.h"
#include "Profile.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTest>

namespace {

QApplication& Application() {
    static int argc = 1;
    static char name[] = "ampdesk-app-tests";
    static char* argv[] = {name, nullptr};
    // These tests never need a display; a developer's DISPLAY must not pull one in.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace

AppFixture::AppFixture() {
    Application();
    qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit());
    // Snapshots kept at each connection go to the test's own folder.
    qputenv("XDG_DATA_HOME", (m_home.path() + QStringLiteral("/data")).toLocal8Bit());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_home.path());
    QDir().mkpath(PortsFolder());
    m_devices.byId = m_home.path() + QStringLiteral("/dev/serial/by-id");
    m_devices.dev = m_home.path() + QStringLiteral("/dev");
    QDir().mkpath(m_devices.byId);
}

AppFixture::~AppFixture() {
    m_window.reset();
    m_sim.reset();
}

MainDialog& AppFixture::Window() {
    if (!m_window)
        OpenWindow();
    return *m_window;
}

MainDialog& AppFixture::Restart() {
    m_window.reset();
    OpenWindow();
    return *m_window;
}

void AppFixture::OpenWindow() {
    m_statusHistory.clear();
    m_window = std::make_unique<MainDialog>(m_prompts);
    m_window->SetDeviceFolders(m_devices);
    m_statusHistory << m_window->StatusText();
    auto* status = m_window->findChild<QLineEdit*>(QStringLiteral("status"));
    QObject::connect(status, &QLineEdit::textChanged,
                     [this](const QString& text) { m_statusHistory << text; });
}

QString AppFixture::PortsFolder() const {
    return Profile::PortsFolder();
}

void AppFixture::LinkPort(int number, const QString& target) const {
    const QString link = PortsFolder() + QStringLiteral("/COM%1").arg(number);
    QFile::remove(link);
    EXPECT_TRUE(QFile::link(target, link)) << qPrintable(link);
}

SimProcess& AppFixture::StartSim(int number, const QStringList& extraArgs) {
    m_sim = std::make_unique<SimProcess>(
        QStringList{QStringLiteral("--baud"), QStringLiteral("0")} + extraArgs);
    EXPECT_TRUE(m_sim->IsRunning());
    LinkPort(number, m_sim->LinkPath());
    return *m_sim;
}

bool AppFixture::ConnectOn(const QString& portName) {
    MainDialog& window = Window();
    m_prompts.answerYes = true;
    window.PortCombo()->setEditText(portName);
    window.OnConnect();
    // Auto-Detect over nine silent ports takes nine seconds.
    WaitFor([&window] { return !window.Session().IsAttempting(); }, 20000);
    return window.State().connected;
}

bool AppFixture::WaitUntilFree() {
    return WaitFor([this] { return !Window().Session().IsBusy(); }, 20000);
}

void AppFixture::ConnectToSim(int number, const QStringList& extraArgs) {
    StartSim(number, extraArgs);
    ASSERT_TRUE(ConnectOn(QStringLiteral("COM%1").arg(number)));
    ASSERT_TRUE(WaitFor([this] { return m_sim->ReceivedCommands().contains("Tuner?"); }, 3000));
}

void AppFixture::Choose(QComboBox* combo, const QString& text) {
    const int index = combo->findText(text);
    ASSERT_GE(index, 0) << qPrintable(text);
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

QWidget* AppFixture::ControlWidget(ControlId id) {
    return Window().GetControlPage()->Control(id);
}

QComboBox* AppFixture::ControlCombo(ControlId id) {
    return qobject_cast<QComboBox*>(ControlWidget(id));
}

bool AppFixture::WaitFor(const std::function<bool()>& predicate, int timeoutMs) {
    return WaitUntil(predicate, timeoutMs);
}

QByteArrayList AppFixture::CommandsBeforeBarrier(qsizetype mark) {
    const QByteArray answer = QCoro::waitFor(Window().Session().Ask(CommandChannel::Kind::Query, "Main.Model?")).Text();
    EXPECT_TRUE(answer.endsWith("=ZA11")) << answer.constData();
    QByteArrayList commands = CommandsSince(mark);
    return commands.mid(0, commands.lastIndexOf("Main.Model?"));
}

qsizetype AppFixture::CommandMark() const {
    return m_sim ? m_sim->ReceivedCommands().size() : 0;
}

QByteArrayList AppFixture::CommandsSince(qsizetype mark, bool withPolls) {
    // Every command still queued or on the wire is answered first; the
    // keep-alive's own are watched as they go.
    if (m_window && !withPolls)
        WaitFor([this] { return m_window->Session().IsIdle(); }, 5000);
    QByteArrayList commands = m_sim->ReceivedCommands().mid(mark);
    if (!withPolls)
        commands.removeAll("Main.Source?");
    return commands;
}
