#include "AppFixture.h"
#include "Await.h"

#include "Screenshot.h"
#include "TerminalCtrl.h"
#include "TerminalPage.h"

#include <QImage>

namespace {

class ScreenshotMode : public AppFixture {};

TEST_F(ScreenshotMode, ConnectsWithoutAskingAndWritesControlTabPicture) {
    StartSim(3);
    const ScreenshotRequest request{m_home.path() + "/shot.png", "COM3", ""};
    EXPECT_EQ(Await(TakeConnectedScreenshot(Window(), request)), QString());
    EXPECT_TRUE(m_prompts.questions.isEmpty());
    EXPECT_EQ(Window().CurrentTabTitle(), "Control");
    const QImage picture(request.pngPath);
    EXPECT_FALSE(picture.isNull());
    EXPECT_GE(picture.width(), 400);
}

TEST_F(ScreenshotMode, NamedTabIsShownAndUnknownTabIsReported) {
    StartSim(3);
    const ScreenshotRequest zone{m_home.path() + "/zone.png", "COM3", "Zone"};
    EXPECT_EQ(Await(TakeConnectedScreenshot(Window(), zone)), QString());
    EXPECT_EQ(Window().CurrentTabTitle(), "Zone");
    const ScreenshotRequest bogus{m_home.path() + "/bogus.png", "COM3", "Bogus"};
    EXPECT_EQ(Await(TakeConnectedScreenshot(Window(), bogus)), "the window has no tab \"Bogus\"");
    EXPECT_FALSE(QFile::exists(bogus.pngPath));
}

TEST_F(ScreenshotMode, TerminalPictureShowsAnExchange) {
    StartSim(3);
    const ScreenshotRequest request{m_home.path() + "/terminal.png", "COM3", "Terminal"};
    EXPECT_EQ(Await(TakeConnectedScreenshot(Window(), request)), QString());
    EXPECT_EQ(Window().CurrentTabTitle(), "Terminal");
    const QString shown = Window().GetTerminalPage()->Control()->toPlainText();
    EXPECT_TRUE(shown.contains("> Main.Model?\n\nMain.Model=ZA11")) << shown.toStdString();
    EXPECT_FALSE(QImage(request.pngPath).isNull());
}

TEST_F(ScreenshotMode, NoReceiverIsReportedNotPictured) {
    LinkPort(3, m_home.path() + "/missing");
    const ScreenshotRequest request{m_home.path() + "/shot.png", "COM3", ""};
    EXPECT_EQ(Await(TakeConnectedScreenshot(Window(), request)),
              "could not connect on COM3: Cannot open Com Port");
    EXPECT_FALSE(QFile::exists(request.pngPath));
}

TEST(ScreenshotRequestTest, NeedsBothVariables) {
    qputenv("AMPDESK_SCREENSHOT", "/tmp/x.png");
    qunsetenv("AMPDESK_SCREENSHOT_PORT");
    EXPECT_FALSE(ScreenshotRequestFromEnvironment().IsSet());
    qputenv("AMPDESK_SCREENSHOT_PORT", "COM3");
    EXPECT_TRUE(ScreenshotRequestFromEnvironment().IsSet());
}

}  // namespace
