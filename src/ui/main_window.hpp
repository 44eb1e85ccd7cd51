#pragma once
// The main window "Lanternfold": the welcome screen until a folder is open, then the item list, the
// preview and the settings side by side in resizable panes; the toolbar, the status bar, the menus,
// a drop target over the whole window and the one alert for every message of the store.
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>

class QSplitter;
class QStackedWidget;

namespace lf::app {
class ProjectStore;
}

namespace lf::ui {

class DropOutline;
class MainToolbar;
class MenuCommands;
class SettingsPane;
class StatusBar;
class WelcomeView;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(app::ProjectStore& store, QWidget* parent = nullptr);

    MenuCommands* menus() const { return menus_; }
    MainToolbar* toolbar() const { return toolbar_; }
    StatusBar* statusStrip() const { return statusBar_; }
    WelcomeView* welcome() const { return welcome_; }
    QSplitter* panes() const { return panes_; }
    SettingsPane* settingsPane() const { return settings_; }
    // The alert on screen, if any.
    QMessageBox* alert() const { return alert_; }
    bool showsWelcome() const;

signals:
    // "Home Page" from the menu or the toolbar.
    void homePageRequested();
    // The window appeared for the first time: the app shell reopens the last folder then.
    void firstShown();

protected:
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QSplitter* makePanes();
    void refreshProject();
    void refreshAlert();

    app::ProjectStore& store_;
    MenuCommands* menus_;
    MainToolbar* toolbar_;
    QStackedWidget* content_;
    WelcomeView* welcome_;
    QSplitter* panes_;
    SettingsPane* settings_ = nullptr;
    StatusBar* statusBar_;
    DropOutline* dropOutline_;
    QPointer<QMessageBox> alert_;
    bool shownOnce_ = false;
};

}  // namespace lf::ui
