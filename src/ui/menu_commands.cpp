#include "ui/menu_commands.hpp"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "app/project_store.hpp"
#include "app/window_rules.hpp"

namespace lf::ui {

namespace {

QAction* addItem(QMenu* menu, const QString& text, const QKeySequence& shortcut = {}) {
    auto* action = menu->addAction(text);
    action->setShortcut(shortcut);
    // Menu shortcuts work from anywhere in the window, also while focus is in a text field.
    action->setShortcutContext(Qt::WindowShortcut);
    return action;
}

}  // namespace

MenuCommands::MenuCommands(app::ProjectStore& store, QMainWindow& window) : QObject(&window), store_(store) {
    QMenuBar* bar = window.menuBar();
    using app::Destination;

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    openFolder = addItem(file, QStringLiteral("Open Folder…"), QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(openFolder, &QAction::triggered, &store_, &app::ProjectStore::openFolder);
    openRecent = file->addMenu(QStringLiteral("Open Recent"));
    file->addSeparator();
    quit = addItem(file, QStringLiteral("Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setMenuRole(QAction::QuitRole);
    // Closing every window quits and saves, the same as closing the last window by hand.
    connect(quit, &QAction::triggered, qApp, &QApplication::closeAllWindows);

    QMenu* gallery = bar->addMenu(QStringLiteral("&Gallery"));
    buildGallery = addItem(gallery, QStringLiteral("Build Gallery"), QKeySequence(Qt::CTRL | Qt::Key_B));
    connect(buildGallery, &QAction::triggered, &store_, [this] { store_.build(Destination::none); });
    publishCloudflare = addItem(gallery, QStringLiteral("Build and Publish to Cloudflare"),
                                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    connect(publishCloudflare, &QAction::triggered, &store_, [this] { store_.build(Destination::cloudflare); });
    uploadFTP = addItem(gallery, QStringLiteral("Build and Upload by FTP"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
    connect(uploadFTP, &QAction::triggered, &store_, [this] { store_.build(Destination::ftp); });
    stopBuilding = addItem(gallery, QStringLiteral("Stop Building"), QKeySequence(Qt::CTRL | Qt::Key_Period));
    connect(stopBuilding, &QAction::triggered, &store_, &app::ProjectStore::stopBuilding);
    gallery->addSeparator();
    viewInBrowser = addItem(gallery, QStringLiteral("View Gallery in Browser"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_B));
    connect(viewInBrowser, &QAction::triggered, &store_, &app::ProjectStore::openInBrowser);
    showInFileManager = addItem(gallery, QStringLiteral("Show Gallery in File Manager"));
    connect(showInFileManager, &QAction::triggered, &store_, &app::ProjectStore::showInFinder);
    gallery->addSeparator();
    reloadFolder = addItem(gallery, QStringLiteral("Reload Folder"), QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(reloadFolder, &QAction::triggered, &store_, &app::ProjectStore::reload);
    moveUp = addItem(gallery, QStringLiteral("Move Item Up"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Up));
    connect(moveUp, &QAction::triggered, &store_, [this] { store_.moveSelection(-1); });
    moveDown = addItem(gallery, QStringLiteral("Move Item Down"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Down));
    connect(moveDown, &QAction::triggered, &store_, [this] { store_.moveSelection(+1); });

    QMenu* windowMenu = bar->addMenu(QStringLiteral("&Window"));
    homePage = addItem(windowMenu, QStringLiteral("Home Page"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
    // The Home Page window has the shortcut too, so it works whichever window is in front.
    homePage->setShortcutContext(Qt::ApplicationShortcut);
    connect(homePage, &QAction::triggered, this, &MenuCommands::homePageRequested);
    windowMenu->addSeparator();
    minimize = addItem(windowMenu, QStringLiteral("Minimize"), QKeySequence(Qt::CTRL | Qt::Key_M));
    connect(minimize, &QAction::triggered, &window, &QWidget::showMinimized);

    for (auto signal : {&app::ProjectStore::projectChanged, &app::ProjectStore::isBuildingChanged,
                        &app::ProjectStore::selectionChanged}) {
        connect(&store_, signal, this, &MenuCommands::refresh);
    }
    connect(&store_, &app::ProjectStore::recentFoldersChanged, this, &MenuCommands::fillRecent);
    refresh();
    fillRecent();
}

void MenuCommands::refresh() {
    const bool open = app::projectOpen(store_);
    const bool canBuild = app::canStartBuild(store_);
    buildGallery->setEnabled(canBuild);
    publishCloudflare->setEnabled(canBuild);
    uploadFTP->setEnabled(canBuild);
    reloadFolder->setEnabled(canBuild);
    stopBuilding->setEnabled(app::canStopBuild(store_));
    viewInBrowser->setEnabled(open);
    showInFileManager->setEnabled(open);
    moveUp->setEnabled(app::canMoveSelection(store_));
    moveDown->setEnabled(app::canMoveSelection(store_));
}

void MenuCommands::fillRecent() {
    openRecent->clear();
    const QStringList folders = store_.recentFolders();
    for (const QString& folder : folders) {
        auto* action = openRecent->addAction(QDir::toNativeSeparators(folder));
        connect(action, &QAction::triggered, &store_, [this, folder] { store_.open(folder.toStdString()); });
    }
    openRecent->setEnabled(!folders.isEmpty());
}

}  // namespace lf::ui
