#include "ui/remote_gallery_row.hpp"

#include <QCheckBox>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/cover_loader.hpp"
#include "app/item_texts.hpp"
#include "ui/elided_label.hpp"
#include "ui/symbol_icon.hpp"

namespace lf::ui {

CoverSquare::CoverSquare(QWidget* parent) : QWidget(parent) {
    setFixedSize(side, side);
    setAccessibleName(QStringLiteral("Cover"));
}

void CoverSquare::setImage(const QImage& image) {
    image_ = image;
    update();
}

void CoverSquare::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), 5, 5);
    painter.setClipPath(clip);
    if (image_.isNull()) {
        QColor wash = palette().color(QPalette::Text);
        wash.setAlphaF(0.12);
        painter.fillRect(rect(), wash);
        return;
    }
    const QSizeF scaled = QSizeF(image_.size()).scaled(QSizeF(size()), Qt::KeepAspectRatioByExpanding);
    painter.drawImage(QRectF((width() - scaled.width()) / 2, (height() - scaled.height()) / 2, scaled.width(),
                             scaled.height()),
                      image_);
}

namespace {

QToolButton* arrowButton(const QString& symbol, const QString& tooltip, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setIcon(symbolIcon(symbol));
    button->setAutoRaise(true);
    button->setToolTip(tooltip);
    button->setAccessibleName(tooltip);
    return button;
}

}  // namespace

RemoteGalleryRow::RemoteGalleryRow(home::HomeModel& home, home::RemoteGallery gallery, QWidget* parent)
    : QWidget(parent), home_(home), gallery_(std::move(gallery)) {
    const QString title = QString::fromStdString(gallery_.title);
    setAccessibleName(title);

    check_ = new QCheckBox(this);
    check_->setToolTip(QStringLiteral("Show this gallery on the home page"));
    check_->setAccessibleName(QStringLiteral("Show “%1” on the home page").arg(title));

    cover_ = new CoverSquare(this);
    // Two pixels a point, so the cover stays sharp on a high-density screen.
    app::CoverLoader::shared().request(QString::fromStdString(gallery_.coverURL), CoverSquare::side * 2, cover_,
                                       [cover = cover_](std::optional<QImage> image) {
                                           if (image) cover->setImage(*image);
                                       });

    padlock_ = new QLabel(this);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    const int lockSide = QFontMetrics(small).height() - 2;
    QColor secondary = palette().color(QPalette::Text);
    secondary.setAlphaF(0.6);
    padlock_->setPixmap(tintedSymbol(QStringLiteral("changes-prevent"), lockSide, secondary, devicePixelRatioF()));
    padlock_->setToolTip(QStringLiteral("Password protected"));
    padlock_->setAccessibleName(QStringLiteral("Password protected"));
    padlock_->setVisible(gallery_.locked);

    title_ = new QLabel(title, this);
    title_->setTextFormat(Qt::PlainText);
    address_ = new ElidedLabel(Qt::ElideMiddle, this);
    address_->setFont(small);
    address_->setForegroundRole(QPalette::PlaceholderText);
    address_->setFullText(app::addressWithoutScheme(QString::fromStdString(gallery_.url)));
    address_->setAccessibleName(QStringLiteral("Address"));

    auto* firstLine = new QHBoxLayout;
    firstLine->setSpacing(4);
    firstLine->addWidget(padlock_);
    firstLine->addWidget(title_, 1);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addLayout(firstLine);
    texts->addWidget(address_);

    up_ = arrowButton(QStringLiteral("go-up"), QStringLiteral("Move up"), this);
    down_ = arrowButton(QStringLiteral("go-down"), QStringLiteral("Move down"), this);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 4, 0, 4);
    row->setSpacing(12);
    row->addWidget(check_, 0, Qt::AlignVCenter);
    row->addWidget(cover_, 0, Qt::AlignVCenter);
    row->addLayout(texts, 1);
    row->addWidget(up_, 0, Qt::AlignVCenter);
    row->addWidget(down_, 0, Qt::AlignVCenter);

    fade_ = new QGraphicsOpacityEffect(this);
    fade_->setOpacity(1.0);
    setGraphicsEffect(fade_);

    // The arrows are never disabled: at the ends of the list the model does nothing.
    connect(up_, &QToolButton::clicked, this, [this] { home_.move(gallery_, -1); });
    connect(down_, &QToolButton::clicked, this, [this] { home_.move(gallery_, +1); });
    connect(check_, &QCheckBox::toggled, this, [this](bool ticked) {
        if (ticked != home_.isIncluded(gallery_)) home_.setIncluded(gallery_, ticked);
    });
    refresh();
}

void RemoteGalleryRow::refresh() {
    const bool included = home_.isIncluded(gallery_);
    if (check_->isChecked() != included) {
        const QSignalBlocker quiet(check_);
        check_->setChecked(included);
    }
    fade_->setOpacity(included ? 1.0 : 0.55);
}

qreal RemoteGalleryRow::opacity() const { return fade_->opacity(); }

}  // namespace lf::ui
