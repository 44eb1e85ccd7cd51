#include "ui/welcome_view.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/project_store.hpp"
#include "ui/icons.hpp"
#include "ui/spinner.hpp"
#include "ui/ui_style.hpp"

namespace lf::ui {

WelcomeView::WelcomeView(app::ProjectStore& store, QWidget* parent) : QWidget(parent), store_(store) {
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(16);
    layout->addStretch(1);

    auto* icon = new QLabel(this);
    icon->setPixmap(applicationIcon().pixmap(QSize(128, 128), devicePixelRatioF()));
    icon->setFixedSize(128, 128);
    icon->setAccessibleName(QStringLiteral("Lanternfold"));
    layout->addWidget(icon, 0, Qt::AlignHCenter);

    auto* title = new QLabel(QStringLiteral("Lanternfold"), this);
    QFont serif(QStringLiteral("serif"));
    serif.setStyleHint(QFont::Serif);
    serif.setPointSizeF(34);
    serif.setWeight(QFont::Normal);
    title->setFont(serif);
    layout->addWidget(title, 0, Qt::AlignHCenter);

    auto* tagline = new QLabel(QStringLiteral("Make web galleries from folders of pictures, movies and sounds."), this);
    style::makeSecondary(tagline);
    layout->addWidget(tagline, 0, Qt::AlignHCenter);

    layout->addSpacing(8);
    openButton_ = new QPushButton(QStringLiteral("Open a Folder…"), this);
    openButton_->setAccessibleName(QStringLiteral("Open a Folder…"));
    style::makeProminent(openButton_, style::ButtonSize::large);
    connect(openButton_, &QPushButton::clicked, &store_, &app::ProjectStore::openFolder);
    layout->addWidget(openButton_, 0, Qt::AlignHCenter);

    openingRow_ = new QWidget(this);
    auto* openingLayout = new QHBoxLayout(openingRow_);
    openingLayout->setContentsMargins(0, 0, 0, 0);
    openingLayout->setSpacing(8);
    spinner_ = new Spinner(16, openingRow_);
    openingStatus_ = new QLabel(openingRow_);
    openingLayout->addWidget(spinner_);
    openingLayout->addWidget(openingStatus_);
    layout->addWidget(openingRow_, 0, Qt::AlignHCenter);

    auto* hint = new QLabel(QStringLiteral("or drag a folder onto this window"), this);
    style::makeSecondary(hint);
    style::makeCallout(hint);
    layout->addWidget(hint, 0, Qt::AlignHCenter);
    layout->addStretch(1);

    connect(&store_, &app::ProjectStore::isOpeningChanged, this, &WelcomeView::refresh);
    connect(&store_, &app::ProjectStore::statusChanged, this, &WelcomeView::refresh);
    refresh();
}

void WelcomeView::refresh() {
    const bool opening = store_.isOpening();
    openButton_->setVisible(!opening);
    openingRow_->setVisible(opening);
    openingStatus_->setText(store_.status());
    openingStatus_->setAccessibleName(store_.status());
}

}  // namespace lf::ui
