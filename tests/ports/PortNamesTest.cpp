#include "PortNames.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(PortNames, AutoDetectOrderIsCom1ToCom9) {
    EXPECT_EQ(ComPortNames(), (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
                                           "COM8", "COM9"}));
}

struct ResolveCase {
    const char* typed;
    bool linked;           // ports/COM3 exists as a link
    const char* expected;  // "<link>" for the link's path
};

const ResolveCase kResolveCases[] = {
    {"COM3", true, "<link>"},      {"com3", true, "<link>"},
    {"Com3", false, "/dev/ttyS2"}, {"COM1", false, "/dev/ttyS0"},
    {"COM9", true, "/dev/ttyS8"},  {"COM12", true, "COM12"},
    {"COM0", true, "COM0"},        {"/dev/ttyUSB0", true, "/dev/ttyUSB0"},
    {" COM3", true, " COM3"},
};

TEST(PortNames, ComNamesResolveToLinkThenOnBoardPortOtherTextAsTyped) {
    for (const ResolveCase& c : kResolveCases) {
        QTemporaryDir folder;
        const QString link = QDir(folder.path()).filePath("COM3");
        // A dangling link still counts: opening it must fail, not fall back.
        if (c.linked) {
            ASSERT_TRUE(QFile::link(folder.path() + "/nowhere", link));
        }
        const QString expected = QString::fromLatin1(c.expected) == "<link>" ? link : c.expected;
        EXPECT_EQ(ResolvePortPath(QString::fromLatin1(c.typed), folder.path()), expected)
            << c.typed;
    }
}

}  // namespace
