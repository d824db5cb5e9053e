// main() of the GUI test programs: one QApplication (on the platform that
// the test environment chooses, offscreen under ctest) for all tests.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
