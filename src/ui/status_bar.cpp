#include "ui/status_bar.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>

#include "app/project_store.hpp"
#include "app/window_rules.hpp"
#include "ui/elided_label.hpp"
#include "ui/spinner.hpp"
#include "ui/ui_style.hpp"

namespace lf::ui {

namespace {
constexpr int progressSteps = 1000;
}

StatusBar::StatusBar(app::ProjectStore& store, QWidget* parent) : QWidget(parent), store_(store) {
    setAccessibleName(QStringLiteral("Status"));
    setAutoFillBackground(false);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 7, 12, 7);
    layout->setSpacing(10);

    progress_ = new QProgressBar(this);
    progress_->setFixedWidth(180);
    progress_->setRange(0, progressSteps);
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(10);
    progress_->setAccessibleName(QStringLiteral("Build progress"));
    layout->addWidget(progress_);

    stop_ = new QPushButton(QStringLiteral("Stop"), this);
    stop_->setAccessibleName(QStringLiteral("Stop"));
    style::makeSmall(stop_);
    connect(stop_, &QPushButton::clicked, &store_, &app::ProjectStore::stopBuilding);
    layout->addWidget(stop_);

    spinner_ = new Spinner(14, this);
    layout->addWidget(spinner_);

    status_ = new ElidedLabel(Qt::ElideMiddle, this);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    style::makeSecondary(status_);
    style::makeCallout(status_);
    layout->addWidget(status_, 1);

    readingDetails_ = new QLabel(QStringLiteral("Reading photo details…"), this);
    style::makeSecondary(readingDetails_);
    style::makeCaption(readingDetails_);
    layout->addWidget(readingDetails_);

    for (auto signal : {&app::ProjectStore::isBuildingChanged, &app::ProjectStore::isOpeningChanged,
                        &app::ProjectStore::isReadingDetailsChanged, &app::ProjectStore::progressChanged,
                        &app::ProjectStore::statusChanged}) {
        connect(&store_, signal, this, &StatusBar::refresh);
    }
    refresh();
}

void StatusBar::refresh() {
    const bool building = app::showsBuildProgress(store_);
    progress_->setVisible(building);
    stop_->setVisible(building);
    progress_->setValue(static_cast<int>(store_.progress() * progressSteps + 0.5));
    spinner_->setVisible(app::showsSpinner(store_));
    status_->setFullText(store_.status());
    readingDetails_->setVisible(app::showsReadingDetails(store_));
}

void StatusBar::paintEvent(QPaintEvent*) {
    // The bar's own material: the window colour a shade darker, with a thin line along the top.
    QPainter painter(this);
    const QColor window = palette().color(QPalette::Window);
    painter.fillRect(rect(), window.darker(103));
    QColor line = palette().color(QPalette::WindowText);
    line.setAlphaF(0.16);
    painter.fillRect(QRect(0, 0, width(), 1), line);
}

}  // namespace lf::ui
