#include "AppFixture.h"
#include "Await.h"

#include "ControlPage.h"
#include "FileCommands.h"

#include <QComboBox>
#include <QFile>
#include <QRadioButton>

namespace {

class FileScenario : public AppFixture {
protected:
    QString PathOf(const char* name) const { return m_home.path() + "/" + name; }
    static QByteArray ReadAll(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static void WriteAll(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
};

TEST_F(FileScenario, SaveThenLoadRoundTripsThroughReceiver) {
    StartSim(3);
    ASSERT_TRUE(ConnectOn("COM3"));
    MainDialog& w = Window();
    const QByteArray bass = w.Store().GetValue("Main.Bass");
    const QByteArray changed = bass == "-6" ? "2" : "-6";

    m_prompts.savePath = PathOf("receiver.kvx");
    w.SaveSettings();
    QByteArray file = ReadAll(m_prompts.savePath);
    ASSERT_TRUE(file.startsWith("<ORVA Settings File>\r\n<DESCRIPTION></DESCRIPTION>\r\n"));
    ASSERT_TRUE(file.endsWith("</ORVA Settings File>"));
    ASSERT_TRUE(file.contains("\r\nMain.Bass=" + bass + "\r\n"));

    file.replace("\r\nMain.Bass=" + bass + "\r\n", "\r\nMain.Bass=" + changed + "\r\n");
    WriteAll(PathOf("edited.kvx"), file);
    const qsizetype mark = CommandMark();
    m_prompts.openPaths = {PathOf("edited.kvx")};
    w.LoadSettings();
    WaitUntilFree();

    EXPECT_TRUE(CommandsSince(mark).contains("Main.Bass=" + changed));
    EXPECT_EQ(w.Store().GetValue("Main.Bass"), changed);
    EXPECT_EQ(ControlCombo(ControlId::Bass)->currentText(), QString::fromLatin1(changed) + " dB");
    // The receiver took the file's value over.
    EXPECT_EQ(QCoro::waitFor(w.Session().Ask(CommandChannel::Kind::Query, "Main.Bass?")).Text(),
              "Main.Bass=" + changed);
    for (const QString& message : m_prompts.messages) {
        EXPECT_TRUE(message.startsWith("The receiver did not take")) << qPrintable(message);
    }
}

TEST_F(FileScenario, LoadWithoutReceiverShowsFileAndSendsNothing) {
    MainDialog& w = Window();
    WriteAll(PathOf("small.kvx"),
             "<ORVA Settings File>\r\n<DESCRIPTION>x</DESCRIPTION>\r\nMain.Bass=-8\r\n"
             "Main.Volume=-41\r\nMain.Source=8\r\n</ORVA Settings File>");
    m_prompts.openPaths = {PathOf("small.kvx")};
    w.LoadSettings();
    WaitUntilFree();
    EXPECT_EQ(w.Store().LineCount(), 3);
    EXPECT_EQ(ControlCombo(ControlId::Bass)->currentText(), "-8 dB");
    EXPECT_TRUE(w.GetControlPage()->SourceButton(8)->isChecked());
    EXPECT_TRUE(m_prompts.messages.isEmpty()) << qPrintable(m_prompts.messages.join('|'));
}

struct BadFileCase {
    const char* name;
    const char* content;  // nullptr: the file does not exist
    const char* messageStart;
};

class BadSettingsFile : public FileScenario, public ::testing::WithParamInterface<BadFileCase> {};

// Nothing was loaded: the receiver gets nothing either.
TEST_P(BadSettingsFile, KeepsStoreSendsNothingAndTellsUser) {
    const BadFileCase& c = GetParam();
    MainDialog& w = Window();
    ConnectToSim(3);
    const qsizetype mark = CommandMark();
    const std::vector<QByteArray> before = w.Store().Lines();
    const QString path = PathOf("bad.kvx");
    if (c.content)
        WriteAll(path, c.content);
    m_prompts.openPaths = {path};
    w.LoadSettings();
    WaitUntilFree();
    EXPECT_EQ(w.Store().Lines(), before);
    EXPECT_TRUE(CommandsSince(mark).isEmpty());
    ASSERT_EQ(m_prompts.messages.size(), 1);
    EXPECT_TRUE(m_prompts.messages.first().startsWith(c.messageStart))
        << qPrintable(m_prompts.messages.first());
}

INSTANTIATE_TEST_SUITE_P(Files, BadSettingsFile,
                         ::testing::Values(BadFileCase{"Missing", nullptr,
                                                       "Cannot open the settings file"},
                                           BadFileCase{"NoMagicLine", "Main.Bass=4\r\n", ""},
                                           BadFileCase{"MagicWithTrailingBlank",
                                                       "<ORVA Settings File> \r\nMain.Bass=4", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileScenario, CancelledOpenDialogSaysNothingFailedOneSaysErrorOpeningFile) {
    Window().LoadSettings();
    EXPECT_TRUE(m_prompts.messages.isEmpty());
    m_prompts.openFails = true;
    Window().LoadSettings();
    EXPECT_EQ(m_prompts.messages, QStringList{"error opening file."});
}

TEST_F(FileScenario, CancelledSaveWritesNothingFailedSaveIsReported) {
    MainDialog& w = Window();
    w.SaveSettings();
    EXPECT_TRUE(m_prompts.messages.isEmpty());
    m_prompts.savePath = PathOf("no-such-folder/settings.kvx");
    w.SaveSettings();
    EXPECT_EQ(m_prompts.messages.size(), 1);
    EXPECT_FALSE(QFile::exists(m_prompts.savePath));
}

}  // namespace
