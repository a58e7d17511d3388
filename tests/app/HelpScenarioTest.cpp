#include "AppFixture.h"
#include "Await.h"

#include "HelpCommands.h"
#include "LocalHttpServer.h"
#include "ManualPaths.h"
#include "PostedMessages.h"
#include "Profile.h"
#include "TerminalCtrl.h"
#include "TerminalPage.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QNetworkProxy>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QUrl>

#include <ostream>

// Takes the place of the web browser: keeps the addresses it was asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened << url; }
};

namespace {

class HelpScenario : public AppFixture {
protected:
    HelpScenario() {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        QDesktopServices::setUrlHandler("http", &m_browser, "Open");
        QDesktopServices::setUrlHandler("file", &m_browser, "Open");
    }
    ~HelpScenario() override {
        QDesktopServices::unsetUrlHandler("http");
        QDesktopServices::unsetUrlHandler("file");
    }

    QAction* HelpItem(const QString& text) {
        for (QAction* menu : Window().MenuBar()->actions()) {
            for (QAction* item : menu->menu()->actions()) {
                if (item->text().remove(QLatin1Char('&')) == text)
                    return item;
            }
        }
        ADD_FAILURE() << "no Help item " << text.toStdString();
        return nullptr;
    }

    static void SetUpgradeHost(const QString& host) {
        QSettings profile(QSettings::IniFormat, QSettings::UserScope, "Velmar", "Ampdesk");
        profile.setValue("Settings/UpgradeHost", host);
    }

    // Everything the user was told or asked, in order.
    QStringList Said() const { return m_prompts.questions + m_prompts.messages; }

    bool WaitUntilSaid() {
        return WaitFor([this] { return !Said().isEmpty(); }, 5000);
    }

    // A program folder <root>/bin with the manual at the given place below <root>.
    QString ProgramWithManualAt(const QString& folder) {
        const QString root = m_home.path() + "/prefix";
        QDir().mkpath(root + "/bin");
        if (!folder.isEmpty()) {
            QDir().mkpath(root + "/" + folder);
            QFile index(root + "/" + folder + "/index.html");
            EXPECT_TRUE(index.open(QIODevice::WriteOnly));
            index.write("<!DOCTYPE html><title>Manual</title>");
        }
        return root + "/bin";
    }

    UrlRecorder m_browser;
};

struct UpgradeCase {
    const char* name;
    int status;
    QByteArray body;
    bool answerYes;
    const char* said;  // %1: the host asked
    bool downloadOpened;
};

void PrintTo(const UpgradeCase& c, std::ostream* os) {
    *os << c.name;
}

const UpgradeCase kUpgradeCases[] = {
    {"NewerAcceptedOpensDownloadPage", 200, "Version=1.3\r\n", true,
     "There is a newer software version available.  Would you like to download it now?", true},
    {"NewerDeclinedOpensNothing", 200, "Version=2.0\r\n", false,
     "There is a newer software version available.  Would you like to download it now?", false},
    {"SameVersionIsMostRecent", 200, "Version=1.2\r\n", true,
     "Software is the most recent version.", false},
    {"MissingFileNamesTheSite", 404, "", true,
     "Cannot find latest version.  Check %1 for the latest version.", false},
    {"FileWithoutVersionNamesTheSite", 200, "<html>\n", true,
     "Cannot find latest version.  Check %1 for the latest version.", false},
};

class UpgradeScenario : public HelpScenario, public ::testing::WithParamInterface<UpgradeCase> {};

TEST_P(UpgradeScenario, SaysWordForWord) {
    const UpgradeCase& c = GetParam();
    LocalHttpServer server(c.status, c.body);
    SetUpgradeHost(server.Host());
    m_prompts.answerYes = c.answerYes;
    QAction* item = HelpItem("Check for upgrade");
    ASSERT_TRUE(item->isEnabled());
    item->trigger();
    ASSERT_TRUE(WaitUntilSaid());
    EXPECT_EQ(Said(), QStringList{QString::fromLatin1(c.said).arg(server.Host())});
    const QList<QUrl> download{QUrl("http://" + server.Host() + "/software")};
    EXPECT_EQ(m_browser.opened, c.downloadOpened ? download : QList<QUrl>{});
}

INSTANTIATE_TEST_SUITE_P(Help, UpgradeScenario, ::testing::ValuesIn(kUpgradeCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HelpScenario, RefusedConnectionCannotOpenInternetConnection) {
    SetUpgradeHost(QStringLiteral("127.0.0.1:%1").arg(LocalHttpServer::RefusedPort()));
    Window().CheckForUpgrade();
    ASSERT_TRUE(WaitUntilSaid());
    EXPECT_EQ(Said(), QStringList{"Cannot open internet connection to check for latest version"});
}

TEST_F(HelpScenario, SilentServerTimesOutWhileWindowKeepsWorking) {
    ConnectToSim(3);
    m_prompts.questions.clear();
    LocalHttpServer server(LocalHttpServer::kSilent);
    SetUpgradeHost(server.Host());
    Window().Help().SetCheckTimeoutMs(1500);
    TerminalCtrl* terminal = [&] {
        Window().OnToggleTerminal(true);
        Window().SelectTab("Terminal");
        return Window().GetTerminalPage()->Control();
    }();

    Window().CheckForUpgrade();
    ASSERT_TRUE(WaitFor([&] { return server.Requests().size() == 1; }, 3000));
    // A second click while the check runs does nothing.
    Window().CheckForUpgrade();
    // The receiver goes on answering through the window meanwhile.
    EXPECT_TRUE(Window().Help().IsCheckRunning());
    EXPECT_EQ(QCoro::waitFor(Window().Session().Ask(CommandChannel::Kind::Query, "Main.Model?")).Text(),
              "Main.Model=ZA11");
    QTest::keyClicks(terminal, "Main.Volume?");
    QTest::keyClick(terminal, Qt::Key_Return);
    EXPECT_TRUE(WaitFor([&] { return terminal->toPlainText().contains("Main.Volume="); }, 3000));
    EXPECT_TRUE(Window().Help().IsCheckRunning());
    EXPECT_TRUE(Said().isEmpty());

    ASSERT_TRUE(WaitUntilSaid());
    EXPECT_EQ(Said(), QStringList{"Cannot open internet connection to check for latest version"});
    EXPECT_EQ(server.Requests().size(), 1);
}

TEST_F(HelpScenario, ProfileWithoutUpgradeHostAsksTheMakersSite) {
    EXPECT_EQ(Profile::ReadUpgradeHost(), "www.velmar.com");
    SetUpgradeHost("  ");
    EXPECT_EQ(Profile::ReadUpgradeHost(), "www.velmar.com");
    SetUpgradeHost("updates.example.org:8080");
    EXPECT_EQ(Profile::ReadUpgradeHost(), "updates.example.org:8080");
}

struct ManualCase {
    const char* name;
    const char* folder;  // below the prefix; empty: no manual
};

void PrintTo(const ManualCase& c, std::ostream* os) {
    *os << c.name;
}

const ManualCase kManualCases[] = {
    {"BesideBuildOrInstalledProgram", "share/ampdesk/manual"},
    {"InShareDocOfAnEarlierInstallation", "share/doc/ampdesk/manual"},
};

class ManualScenario : public HelpScenario, public ::testing::WithParamInterface<ManualCase> {};

TEST_P(ManualScenario, OpensIndexInBrowser) {
    const QString bin = ProgramWithManualAt(GetParam().folder);
    Window().Help().ShowHelp(bin);
    const QString index = QDir::cleanPath(bin + "/../" + GetParam().folder + "/index.html");
    EXPECT_EQ(m_browser.opened, QList<QUrl>{QUrl::fromLocalFile(index)});
    QTest::qWait(0);
    EXPECT_TRUE(Said().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Help, ManualScenario, ::testing::ValuesIn(kManualCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HelpScenario, MissingManualSaysWhereItLooked) {
    const QString bin = ProgramWithManualAt("");
    Window().Help().ShowHelp(bin);
    ASSERT_TRUE(WaitUntilSaid());
    const QString root = QDir::cleanPath(bin + "/..");
    EXPECT_EQ(Said(), QStringList{"Help not available: the manual was not found. Looked for:\n" +
                                  root + "/share/ampdesk/manual/index.html\n" + root +
                                  "/share/doc/ampdesk/manual/index.html"});
    EXPECT_TRUE(m_browser.opened.isEmpty());
}

TEST_F(HelpScenario, UnknownProgramPathIsInvalidPath) {
    Window().Help().ShowHelp(QString());
    ASSERT_TRUE(WaitUntilSaid());
    EXPECT_EQ(Said(), QStringList{"Invalid path.  Help not available."});
}

TEST_F(HelpScenario, F1OpensTheBuiltManual) {
    Window().show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window()));
    QTest::keyClick(&Window(), Qt::Key_F1);
    ASSERT_EQ(m_browser.opened.size(), 1);
    const QString opened = m_browser.opened.front().toLocalFile();
    EXPECT_TRUE(opened.endsWith("/share/ampdesk/manual/index.html")) << opened.toStdString();
    EXPECT_TRUE(QFile::exists(opened));
}

TEST_F(HelpScenario, ManualPagesLinkOnlyToPagesThatExist) {
    const QString index =
        ManualPaths::Find(ManualPaths::Candidates(QCoreApplication::applicationDirPath()));
    ASSERT_FALSE(index.isEmpty());
    const QDir manual = QFileInfo(index).dir();
    const QStringList pages = manual.entryList({"*.html"});
    EXPECT_GE(pages.size(), 7);
    const QRegularExpression link(R"((?:href|src)="([^"#:]+)(?:#[^"]*)?")");
    for (const QString& page : pages) {
        QFile file(manual.filePath(page));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(text.contains("<title>")) << page.toStdString();
        for (const auto& match : link.globalMatch(text)) {
            EXPECT_TRUE(QFile::exists(manual.filePath(match.captured(1))))
                << page.toStdString() << " -> " << match.captured(1).toStdString();
        }
    }
}

}  // namespace

#include "HelpScenarioTest.moc"
