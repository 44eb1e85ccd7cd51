// The app tests run with a Qt application object, which the store's timers, queued reports and
// thread-pool continuations need. Preferences go to a folder of this test program, so that tests
// never read or change the user's own "LastFolder".
#include <gtest/gtest.h>

#include <cstdlib>

#include <QCoreApplication>

#include "support/temporary_folder.hpp"

int main(int argc, char** argv) {
    ::setenv("XDG_CONFIG_HOME", (lf::testing::programFolder() / "config").c_str(), 1);
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
