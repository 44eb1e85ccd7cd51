// The main of the widget tests: a QApplication on the offscreen platform (unless one is chosen), and
// user preferences kept in a private folder so that tests never read or change the person's own.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "support/temporary_folder.hpp"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    lf::testing::TemporaryFolder config;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path().string()));
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Lanternfold"));
    QApplication::setApplicationName(QStringLiteral("Lanternfold"));
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Qt Multimedia lists the FFmpeg codecs on a thread of its own; a process that runs its exit
    // handlers while that thread still loads libraries can abort inside libgomp. The results are
    // in by now, so leave without the exit handlers.
    std::fflush(nullptr);
    std::_Exit(result);
}
