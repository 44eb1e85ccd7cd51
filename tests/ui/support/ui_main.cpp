// The main of the widget tests: a QApplication on the offscreen platform (unless one is chosen), and
// user preferences kept in a private folder so that tests never read or change the person's own.
#include <gtest/gtest.h>

#include <QApplication>

#include "support/temporary_folder.hpp"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    lf::testing::TemporaryFolder config;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path().string()));
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Lanternfold"));
    QApplication::setApplicationName(QStringLiteral("Lanternfold"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
