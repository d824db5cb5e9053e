// main() of every GUI test program: one QApplication for all its tests, made
// before the first test and destroyed after the last. Qt's offscreen platform
// is used unless the environment names another (ctest always sets offscreen;
// QT_QPA_PLATFORM=xcb shows the windows when a test is run by hand).
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
