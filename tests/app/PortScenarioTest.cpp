#include "AppFixture.h"

#include "SerialPort.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>

namespace {

class PortScenario : public AppFixture {
protected:
    void LinkAllComPortsNowhere() const {
        for (int n = 1; n <= 9; ++n)
            LinkPort(n, m_home.path() + "/missing");
    }
    QLabel* ReasonLine() { return Window().findChild<QLabel*>(QStringLiteral("statusReason")); }
    QLineEdit* StatusField() { return Window().findChild<QLineEdit*>(QStringLiteral("status")); }
};

const QString kAdapter = QStringLiteral("usb-FTDI_FT232R_USB_UART_A1234567-if00-port0");

TEST_F(PortScenario, UsbAdapterWithoutComLinkIsListedAndFoundByAutoDetect) {
    LinkAllComPortsNowhere();
    m_sim = std::make_unique<SimProcess>(QStringList{"--baud", "0"});
    const QString adapter = m_devices.byId + "/" + kAdapter;
    // The simulator's terminal stands in for the adapter's ttyUSB device.
    ASSERT_TRUE(QFile::link(m_sim->LinkPath(), m_devices.dev + "/ttyUSB0"));
    ASSERT_TRUE(QFile::link(m_devices.dev + "/ttyUSB0", adapter));

    MainDialog& w = Window();
    EXPECT_GE(w.PortCombo()->findText(adapter), 0);
    EXPECT_TRUE(ConnectOn("Auto-Detect"));
    EXPECT_EQ(w.StatusText(), "Connected to ZA11 on " + adapter);
    EXPECT_TRUE(StatusHistory().contains("Connecting on COM9 ..."));
    EXPECT_EQ(w.StatusReason(), QString());
}

// An adapter plugged in while the window is open joins the list, and goes when
// pulled out; the port the user chose stays chosen throughout.
TEST_F(PortScenario, AdapterListFollowsHotPlugAndKeepsTheChoice) {
    QDir(m_devices.byId).removeRecursively();  // udev makes it for the first adapter
    m_sim = std::make_unique<SimProcess>(QStringList{"--baud", "0"});
    MainDialog& w = Window();
    Choose(w.PortCombo(), "COM3");
    const QString adapter = m_devices.byId + "/" + kAdapter;
    ASSERT_TRUE(QFile::link(m_sim->LinkPath(), m_devices.dev + "/ttyUSB0"));
    ASSERT_TRUE(
        WaitFor([&] { return w.PortCombo()->findText(m_devices.dev + "/ttyUSB0") >= 0; }, 2000));
    ASSERT_TRUE(QDir().mkpath(m_devices.byId));
    ASSERT_TRUE(QFile::link(m_devices.dev + "/ttyUSB0", adapter));
    EXPECT_TRUE(WaitFor([&] { return w.PortCombo()->findText(adapter) >= 0; }, 2000));
    EXPECT_EQ(w.PortCombo()->currentText(), "COM3");
    ASSERT_TRUE(QFile::remove(adapter) && QFile::remove(m_devices.dev + "/ttyUSB0"));
    EXPECT_TRUE(WaitFor([&] { return w.PortCombo()->count() == 10; }, 2000));
    EXPECT_EQ(w.PortCombo()->currentText(), "COM3");
}

TEST_F(PortScenario, MissingComLinkTargetIsExplainedBelowTheStatus) {
    LinkPort(3, m_home.path() + "/ttyUSB4");
    EXPECT_FALSE(ConnectOn("COM3"));
    MainDialog& w = Window();
    EXPECT_EQ(w.StatusText(), "Cannot open Com Port");
    const QString expected = m_home.path() + "/ttyUSB4 does not exist (COM3 is the link " +
                             PortsFolder() + "/COM3 to " + m_home.path() + "/ttyUSB4)";
    EXPECT_EQ(w.StatusReason(), expected);
    EXPECT_FALSE(ReasonLine()->isHidden());
    EXPECT_EQ(StatusField()->toolTip(), expected);
}

TEST_F(PortScenario, PortHeldByAnotherProgramIsNamedAndClearedByTheNextAttempt) {
    StartSim(3);
    SerialPort other;
    ASSERT_TRUE(other.Open(m_sim->LinkPath()));
    EXPECT_FALSE(ConnectOn("COM3"));
    EXPECT_EQ(Window().StatusReason(), "Another program holds " + PortsFolder() + "/COM3");

    other.Close();
    EXPECT_TRUE(ConnectOn("COM3"));
    EXPECT_EQ(Window().StatusReason(), QString());
    EXPECT_TRUE(ReasonLine()->isHidden());
    EXPECT_EQ(StatusField()->toolTip(), QString());
}

}  // namespace
