// The home tests' main: HomeModel posts its results to the application object, so every test runs
// with a QCoreApplication whose event loop QTest's waits and QSignalSpy turn.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
