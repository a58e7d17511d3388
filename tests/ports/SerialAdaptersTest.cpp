#include "PortDiagnostics.h"
#include "PortNames.h"
#include "SerialAdapters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>

namespace {

// A temporary stand-in for /dev: fake device files and by-id links to them.
class FakeDevices : public ::testing::Test {
protected:
    FakeDevices() {
        m_folders.dev = m_root.path() + "/dev";
        m_folders.byId = m_root.path() + "/dev/serial/by-id";
        QDir().mkpath(m_folders.byId);
        QDir().mkpath(Ports());
    }

    QString Dev(const QString& name) const { return m_folders.dev + "/" + name; }
    QString ById(const QString& name) const { return m_folders.byId + "/" + name; }
    QString Ports() const { return m_root.path() + "/ports"; }

    void MakeDevice(const QString& name) const {
        QFile file(Dev(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    // udev's links are relative, e.g. ../../ttyUSB1.
    void MakeByIdLink(const QString& name, const QString& target) const {
        ASSERT_TRUE(QFile::link("../../" + target, ById(name)));
    }
    void LinkCom(int number, const QString& target) const {
        ASSERT_TRUE(QFile::link(target, Ports() + QStringLiteral("/COM%1").arg(number)));
    }

    QTemporaryDir m_root;
    DeviceFolders m_folders;
};

const QString kFtdi = "usb-FTDI_FT232R_USB_UART_A1234567-if00-port0";
const QString kProlific = "usb-Prolific_Technology_Inc._USB-Serial_Controller-if00-port0";

TEST_F(FakeDevices, NoAdaptersNoNames) {
    EXPECT_EQ(SerialAdapterPaths(m_folders), QStringList());
    m_folders.byId = m_root.path() + "/no-such-folder";
    EXPECT_EQ(SerialAdapterPaths(m_folders), QStringList());
}

TEST_F(FakeDevices, StableNamesFirstThenUnnamedUsbThenAcmInNumberOrder) {
    for (const char* name : {"ttyS0", "ttyUSB0", "ttyUSB1", "ttyUSB10", "ttyUSB2", "ttyACM0",
                             "ttyUSBx", "tty0", "ttyACM1"})
        MakeDevice(name);
    MakeByIdLink(kProlific, "ttyUSB1");
    MakeByIdLink(kFtdi, "ttyACM1");
    // An adapter pulled out leaves no device behind its link.
    MakeByIdLink("usb-Gone_Adapter-if00-port0", "ttyUSB7");

    EXPECT_EQ(SerialAdapterPaths(m_folders),
              (QStringList{ById(kFtdi), ById(kProlific), Dev("ttyUSB0"), Dev("ttyUSB2"),
                           Dev("ttyUSB10"), Dev("ttyACM0")}));
}

TEST_F(FakeDevices, AutoDetectTriesComPortsThenUsbBridgesNotLinkedAsCom) {
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyACM1"})
        MakeDevice(name);
    MakeByIdLink(kFtdi, "ttyUSB0");
    // A CDC device (a printer, a board) is opened only when the user links it.
    MakeByIdLink("usb-Example_3D_Printer-if00", "ttyACM1");
    LinkCom(5, Dev("ttyACM0"));
    // COM4 already reaches the second adapter; trying it twice costs a time-out.
    LinkCom(4, Dev("ttyUSB1"));

    EXPECT_EQ(AutoDetectPortNames(Ports(), m_folders),
              (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9",
                           ById(kFtdi)}));
}

struct FailureCase {
    const char* name;
    const char* portName;
    const char* device;  // <dev>/<ports> stand for the fake folders
    int errorNumber;
    const char* expected;
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.name;
}

const FailureCase kFailureCases[] = {
    {"TypedPathMissing", "/dev/ttyUSB3", "/dev/ttyUSB3", ENOENT, "/dev/ttyUSB3 does not exist"},
    {"ComWithoutLinkSaysWhereItLooked", "COM3", "/dev/ttyS2", ENOENT,
     "/dev/ttyS2 does not exist (COM3 was looked for as the link <ports>/COM3, then as "
     "/dev/ttyS2)"},
    {"ComLinkToUnpluggedAdapterNamesTheAdapter", "com5", "<ports>/COM5", ENOENT,
     "<dev>/ttyUSB9 does not exist (COM5 is the link <ports>/COM5 to <dev>/ttyUSB9)"},
    {"PermissionNamesTheGroup", "COM3", "/dev/ttyS2", EACCES,
     "Your user may not use /dev/ttyS2: add it to the dialout group (sudo adduser $USER "
     "dialout) and log in again"},
    {"BusyNamesTheDevice", "/dev/ttyACM0", "/dev/ttyACM0", EBUSY,
     "Another program holds /dev/ttyACM0"},
    {"NoAdviceKeepsThePortsOwnText", "COM3", "/dev/ttyS2", EINVAL,
     "Cannot configure /dev/ttyS2: whatever the port said"},
};

class OpenFailureText : public FakeDevices, public ::testing::WithParamInterface<FailureCase> {
protected:
    QString Expand(const char* text) const {
        return QString::fromLatin1(text)
            .replace("<dev>", m_folders.dev)
            .replace("<ports>", Ports());
    }
};

TEST_P(OpenFailureText, TellsWhatToDo) {
    const FailureCase& c = GetParam();
    LinkCom(5, Dev("ttyUSB9"));  // dangling
    const OpenFailure failure{c.portName, Expand(c.device), c.errorNumber,
                              "Cannot configure /dev/ttyS2: whatever the port said"};
    EXPECT_EQ(DescribeOpenFailure(failure, Ports()), Expand(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Table, OpenFailureText, ::testing::ValuesIn(kFailureCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
