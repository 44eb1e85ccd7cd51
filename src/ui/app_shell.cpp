#include "ui/app_shell.hpp"

#include <QApplication>

#include "app/project_store.hpp"
#include "home/home_model.hpp"
#include "ui/folder_dialog_chooser.hpp"
#include "ui/home_page_window.hpp"
#include "ui/icons.hpp"
#include "ui/main_window.hpp"

namespace lf::ui {

AppShell::AppShell(std::optional<std::filesystem::path> folder, QObject* parent)
    : QObject(parent), store_(std::make_unique<app::ProjectStore>()), folder_(std::move(folder)) {
    main_ = std::make_unique<MainWindow>(*store_);
    store_->setFolderChooser(std::make_shared<FolderDialogChooser>(main_.get()));
    connect(main_.get(), &MainWindow::homePageRequested, this, &AppShell::showHomePage);
    connect(main_.get(), &MainWindow::firstShown, this, &AppShell::mainWindowShown);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppShell::saveOnQuit);
}

AppShell::~AppShell() {
    // The Home Page window has no parent (it is a window of its own); it goes with the shell.
    delete home_;
}

void AppShell::showHomePage() {
    if (!home_) {
        home_ = new HomePageWindow(home::HomeModel::shared());
        home_->setWindowIcon(applicationIcon());
    }
    home_->show();
    home_->raise();
    home_->activateWindow();
}

void AppShell::mainWindowShown() {
    if (folder_) {
        store_->openDropped(*folder_);
    } else {
        store_->restoreLastFolder();
    }
}

void AppShell::saveOnQuit() {
    // A build in progress is not waited for; the settings are what must not be lost.
    store_->saveNow(app::SaveErrors::quiet);
}

int runWindow(int argc, char** argv, std::optional<std::filesystem::path> folder) {
    // Qt Multimedia's FFmpeg backend plays the usual movies without extra GStreamer plugins.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND")) qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Lanternfold"));
    QApplication::setApplicationName(QStringLiteral("Lanternfold"));
    QApplication::setApplicationDisplayName(QStringLiteral("Lanternfold"));
    QApplication::setApplicationVersion(QStringLiteral(LF_VERSION));
    // Desktops match the running window to lanternfold.desktop (and its icon) by this name.
    QApplication::setDesktopFileName(QStringLiteral("lanternfold"));
    QApplication::setWindowIcon(applicationIcon());
    QApplication::setQuitOnLastWindowClosed(true);
    AppShell shell(std::move(folder));
    shell.mainWindow().show();
    return application.exec();
}

}  // namespace lf::ui
