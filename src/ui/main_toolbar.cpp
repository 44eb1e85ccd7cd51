#include "ui/main_toolbar.hpp"

#include <QAction>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/project_store.hpp"
#include "app/window_rules.hpp"
#include "ui/elided_label.hpp"
#include "ui/icons.hpp"
#include "ui/ui_style.hpp"

namespace lf::ui {

namespace {

QAction* addButton(QToolBar* bar, const QString& text, const QIcon& icon, const QString& tooltip) {
    auto* action = bar->addAction(icon, text);
    action->setToolTip(tooltip);
    if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action))) {
        button->setAccessibleName(text);
        button->setAccessibleDescription(tooltip);
    }
    return action;
}

}  // namespace

MainToolbar::MainToolbar(app::ProjectStore& store, QWidget* parent)
    : QToolBar(QStringLiteral("Toolbar"), parent), store_(store) {
    setObjectName(QStringLiteral("mainToolbar"));
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(20, 20));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setContextMenuPolicy(Qt::PreventContextMenu);

    auto* heading = new QWidget(this);
    auto* headingLayout = new QVBoxLayout(heading);
    headingLayout->setContentsMargins(8, 2, 8, 2);
    headingLayout->setSpacing(0);
    // A long folder name is shortened in the middle rather than widening the window.
    title = new ElidedLabel(Qt::ElideMiddle, heading);
    title->setMinimumWidth(120);
    title->setMaximumWidth(420);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    itemCount = new QLabel(heading);
    style::makeSecondary(itemCount);
    style::makeCaption(itemCount);
    headingLayout->addWidget(title);
    headingLayout->addWidget(itemCount);
    addWidget(heading);

    auto* spacer = new QWidget(this);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    addWidget(spacer);

    using app::Destination;
    homePage = addButton(this, QStringLiteral("Home Page"), themedIcon(QStringLiteral("view-grid"), QStringLiteral("view-grid")),
                         QStringLiteral("List all your galleries on one home page (Ctrl+Shift+H)"));
    connect(homePage, &QAction::triggered, this, &MainToolbar::homePageRequested);
    openFolder = addButton(this, QStringLiteral("Open Folder"), themedIcon(QStringLiteral("folder-open"), QStringLiteral("folder-open")),
                           QStringLiteral("Open a folder of pictures (Ctrl+O)"));
    connect(openFolder, &QAction::triggered, &store_, &app::ProjectStore::openFolder);
    viewGallery = addButton(this, QStringLiteral("View Gallery"), themedIcon(QStringLiteral("web-browser"), QStringLiteral("web-browser")),
                            QStringLiteral("Open the gallery in your web browser"));
    connect(viewGallery, &QAction::triggered, &store_, &app::ProjectStore::openInBrowser);
    publish = addButton(this, QStringLiteral("Publish"), themedIcon(QStringLiteral("network-server"), QStringLiteral("network-globe")),
                        QStringLiteral("Build the gallery and publish it to your free Cloudflare site (Ctrl+Shift+P)"));
    // The toolbar always publishes to Cloudflare, whatever the Publish tab says about FTP.
    connect(publish, &QAction::triggered, &store_, [this] { store_.build(Destination::cloudflare); });
    buildGallery = addButton(this, QStringLiteral("Build Gallery"), themedIcon(QStringLiteral("run-build"), QStringLiteral("run-build")),
                             QStringLiteral("Build the gallery (Ctrl+B)"));
    connect(buildGallery, &QAction::triggered, &store_, [this] { store_.build(Destination::none); });
    if (auto* button = qobject_cast<QToolButton*>(widgetForAction(buildGallery))) {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    // The other buttons follow the toolbar's display mode; "Build Gallery" keeps its text.
    connect(this, &QToolBar::toolButtonStyleChanged, this, [this] {
        if (auto* button = qobject_cast<QToolButton*>(widgetForAction(buildGallery))) {
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        }
    });

    for (auto signal : {&app::ProjectStore::projectChanged, &app::ProjectStore::isBuildingChanged}) {
        connect(&store_, signal, this, &MainToolbar::refresh);
    }
    refresh();
}

void MainToolbar::refresh() {
    title->setFullText(app::windowTitle(store_.project()));
    title->setToolTip(title->fullText());
    itemCount->setText(app::itemCountText(store_.project()));
    itemCount->setVisible(!itemCount->text().isEmpty());
    viewGallery->setEnabled(app::projectOpen(store_));
    publish->setEnabled(app::canStartBuild(store_));
    buildGallery->setEnabled(app::canStartBuild(store_));
}

}  // namespace lf::ui
