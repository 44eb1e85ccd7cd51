#include "ui/main_window.hpp"

#include <QDragEnterEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/project_store.hpp"
#include "app/window_rules.hpp"
#include "ui/drop_outline.hpp"
#include "ui/icons.hpp"
#include "ui/item_list.hpp"
#include "ui/main_toolbar.hpp"
#include "ui/menu_commands.hpp"
#include "ui/preview_pane.hpp"
#include "ui/settings_pane.hpp"
#include "ui/status_bar.hpp"
#include "ui/welcome_view.hpp"

namespace lf::ui {

namespace {

// Widths of the three panes: minimum, ideal (the starting width) and maximum.
struct PaneWidth {
    int minimum;
    int ideal;
    int maximum;
};
constexpr PaneWidth itemListWidth{240, 290, 440};
constexpr PaneWidth previewWidth{340, 560, QWIDGETSIZE_MAX};
constexpr PaneWidth settingsWidth{320, 350, 460};

void applyWidth(QWidget* pane, PaneWidth width) {
    pane->setMinimumWidth(width.minimum);
    pane->setMaximumWidth(width.maximum);
}

}  // namespace

MainWindow::MainWindow(app::ProjectStore& store, QWidget* parent) : QMainWindow(parent), store_(store) {
    setObjectName(QStringLiteral("main"));
    setWindowIcon(applicationIcon());
    resize(1200, 760);
    setAcceptDrops(true);
    setUnifiedTitleAndToolBarOnMac(true);

    menus_ = new MenuCommands(store_, *this);
    connect(menus_, &MenuCommands::homePageRequested, this, &MainWindow::homePageRequested);
    toolbar_ = new MainToolbar(store_, this);
    connect(toolbar_, &MainToolbar::homePageRequested, this, &MainWindow::homePageRequested);
    addToolBar(Qt::TopToolBarArea, toolbar_);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    content_ = new QStackedWidget(central);
    welcome_ = new WelcomeView(store_, content_);
    panes_ = makePanes();
    content_->addWidget(welcome_);
    content_->addWidget(panes_);
    layout->addWidget(content_, 1);
    statusBar_ = new StatusBar(store_, central);
    layout->addWidget(statusBar_);
    setCentralWidget(central);
    // The content is at least 1000 × 600; the window adds its toolbar and menu bar to that.
    central->setMinimumSize(1000, 600);

    dropOutline_ = new DropOutline(this);

    connect(&store_, &app::ProjectStore::projectChanged, this, &MainWindow::refreshProject);
    connect(&store_, &app::ProjectStore::alertMessageChanged, this, &MainWindow::refreshAlert);
    refreshProject();
    refreshAlert();
}

QSplitter* MainWindow::makePanes() {
    // The one place where the three panes are put into the window.
    auto* splitter = new QSplitter(Qt::Horizontal, content_);
    splitter->setObjectName(QStringLiteral("panes"));
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(1);
    // A hairline between the panes, in the colour of the window's other separators.
    splitter->setStyleSheet(QStringLiteral("QSplitter::handle { background: palette(mid); }"));
    // Made without a parent (their other arguments have defaults); the splitter adopts them.
    auto* items = new ItemList(store_);
    auto* preview = new PreviewPane(store_);
    settings_ = new SettingsPane(store_);
    applyWidth(items, itemListWidth);
    applyWidth(preview, previewWidth);
    applyWidth(settings_, settingsWidth);
    splitter->addWidget(items);
    splitter->addWidget(preview);
    splitter->addWidget(settings_);
    // The preview takes the room the window gains or loses.
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setStretchFactor(2, 0);
    splitter->setSizes({itemListWidth.ideal, previewWidth.ideal, settingsWidth.ideal});
    return splitter;
}

bool MainWindow::showsWelcome() const { return content_->currentWidget() == welcome_; }

void MainWindow::refreshProject() {
    setWindowTitle(app::windowTitle(store_.project()));
    content_->setCurrentWidget(store_.project() ? static_cast<QWidget*>(panes_) : welcome_);
}

void MainWindow::refreshAlert() {
    const auto& message = store_.alertMessage();
    if (!message) {
        if (alert_) alert_->close();
        return;
    }
    if (alert_) {
        alert_->setText(*message);
        return;
    }
    alert_ = new QMessageBox(QMessageBox::Warning, QStringLiteral("Lanternfold"), *message, QMessageBox::NoButton, this);
    auto* ok = alert_->addButton(QStringLiteral("OK"), QMessageBox::RejectRole);
    alert_->setDefaultButton(ok);
    alert_->setEscapeButton(ok);
    alert_->setAttribute(Qt::WA_DeleteOnClose);
    alert_->setWindowModality(Qt::WindowModal);
    // However the alert goes away, the message is cleared, so the same text can be shown again later.
    connect(alert_, &QMessageBox::finished, &store_, [this] {
        if (store_.alertMessage()) store_.dismissAlert();
    });
    alert_->open();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        emit firstShown();
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && app::droppedLocation(event->mimeData()->urls())) {
        event->acceptProposedAction();
        dropOutline_->raise();
        dropOutline_->show();
    } else {
        event->ignore();
    }
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (dropOutline_->isVisible()) event->acceptProposedAction();
}

void MainWindow::dragLeaveEvent(QDragLeaveEvent*) { dropOutline_->hide(); }

void MainWindow::dropEvent(QDropEvent* event) {
    dropOutline_->hide();
    const auto location = app::droppedLocation(event->mimeData()->urls());
    if (!location) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Opening starts from the event loop, after the drag has finished.
    QMetaObject::invokeMethod(&store_, [store = &store_, path = *location] { store->openDropped(path); }, Qt::QueuedConnection);
}

}  // namespace lf::ui
