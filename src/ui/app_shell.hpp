#pragma once
// The program with its window: creates the store and the main window, opens the Home Page window on
// request (one instance, brought to the front when already open), reopens the last folder (or the
// folder given on the command line) once the main window shows, quits when the last window closes
// and saves the open project's file on the way out.
#include <filesystem>
#include <memory>
#include <optional>

#include <QObject>
#include <QPointer>

#include "ui/home_page_window.hpp"

namespace lf::app {
class ProjectStore;
}

namespace lf::ui {

class MainWindow;

class AppShell : public QObject {
    Q_OBJECT
public:
    // folder: a folder (or a file in it) to open instead of the last one, as "Open With" passes it.
    explicit AppShell(std::optional<std::filesystem::path> folder = std::nullopt, QObject* parent = nullptr);
    ~AppShell() override;

    app::ProjectStore& store() { return *store_; }
    MainWindow& mainWindow() { return *main_; }
    // Opens the Home Page window, or brings it to the front when it is already open.
    void showHomePage();
    HomePageWindow* homePageWindow() const { return home_; }
    // Saves the open project quietly; called when the application is about to quit.
    void saveOnQuit();

private:
    void mainWindowShown();

    std::unique_ptr<app::ProjectStore> store_;
    std::unique_ptr<MainWindow> main_;
    QPointer<HomePageWindow> home_;
    std::optional<std::filesystem::path> folder_;
};

// Runs the windowed program; returns the exit status.
int runWindow(int argc, char** argv, std::optional<std::filesystem::path> folder);

}  // namespace lf::ui
