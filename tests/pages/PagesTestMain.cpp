#include <QApplication>

#include <gtest/gtest.h>

// The pages are real widgets: they need a QApplication. Test discovery runs
// this program without CTest's environment, so the offscreen platform is the
// default here too.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
