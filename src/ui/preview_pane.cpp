#include "ui/preview_pane.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/item_texts.hpp"
#include "ui/elided_label.hpp"
#include "ui/large_image.hpp"
#include "ui/media_player.hpp"

namespace lf::ui {

namespace {

// The same file in the same version and kind: its preview can stay as it is.
bool sameVersion(const model::Item& a, const model::Item& b) {
    return a.url == b.url && a.kind == b.kind && a.modified == b.modified;
}

}  // namespace

PreviewPane::PreviewPane(app::ProjectStore& store, app::ThumbLoader& loader, QWidget* parent)
    : QWidget(parent), store_(store) {
    setAccessibleName(QStringLiteral("Preview pane"));
    pages_ = new QStackedWidget(this);

    empty_ = new QLabel(pages_);
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setWordWrap(true);
    empty_->setForegroundRole(QPalette::PlaceholderText);
    empty_->setAccessibleName(QStringLiteral("Preview"));

    itemPage_ = new QWidget(pages_);
    large_ = new QStackedWidget(itemPage_);
    largeImage_ = new LargeImage(loader, large_);
    mediaPlayer_ = new MediaPlayer(large_);
    large_->addWidget(largeImage_);
    large_->addWidget(mediaPlayer_);

    auto* captionTitle = new QLabel(QStringLiteral("Caption"), itemPage_);
    QFont headline = captionTitle->font();
    headline.setBold(true);
    captionTitle->setFont(headline);
    information_ = new ElidedLabel(Qt::ElideMiddle, itemPage_);
    QFont small = information_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    information_->setFont(small);
    information_->setForegroundRole(QPalette::PlaceholderText);
    information_->setAccessibleName(QStringLiteral("Information"));
    auto* captionRow = new QHBoxLayout;
    captionRow->setSpacing(8);
    captionRow->addWidget(captionTitle);
    captionRow->addWidget(information_, 1);

    editor_ = new QPlainTextEdit(itemPage_);
    editor_->setAccessibleName(QStringLiteral("Caption"));
    editor_->setFixedHeight(84);
    editor_->setTabChangesFocus(true);
    // The system's text background, a rounded outline in the secondary colour at 35 %, and 4
    // points of room inside.
    editor_->setStyleSheet(QStringLiteral("QPlainTextEdit { border: 1px solid rgba(128, 128, 128, 89); "
                                          "border-radius: 6px; padding: 4px; background: palette(base); }"));

    auto* column = new QVBoxLayout(itemPage_);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(10);
    column->addWidget(large_, 1);
    column->addLayout(captionRow);
    column->addWidget(editor_);

    pages_->addWidget(empty_);
    pages_->addWidget(itemPage_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);

    connect(&store_, &app::ProjectStore::selectionChanged, this, &PreviewPane::refresh);
    connect(&store_, &app::ProjectStore::projectChanged, this, &PreviewPane::refresh);
    connect(editor_, &QPlainTextEdit::textChanged, this, &PreviewPane::captionEdited);
    refresh();
}

bool PreviewPane::showsItem() const { return pages_->currentWidget() == itemPage_; }

void PreviewPane::refresh() {
    const std::optional<model::Item> item = store_.selectedItem();
    if (!item) {
        if (shown_) mediaPlayer_->clear();
        shown_.reset();
        empty_->setText(app::emptyPreviewText(store_.project()));
        pages_->setCurrentWidget(empty_);
        return;
    }
    pages_->setCurrentWidget(itemPage_);
    if (!shown_ || !sameVersion(*shown_, *item)) {
        if (item->kind == model::MediaKind::image) {
            mediaPlayer_->clear();
            large_->setCurrentWidget(largeImage_);
            largeImage_->setItem(*item);
        } else {
            large_->setCurrentWidget(mediaPlayer_);
            mediaPlayer_->setFile(item->url, item->kind == model::MediaKind::video ? MediaPlayer::Kind::movie
                                                                                   : MediaPlayer::Kind::sound);
        }
    }
    shown_ = item;
    information_->setFullText(app::itemInformation(*item));
    // The editor follows the store, except while its own edit is being stored.
    const QString caption = store_.caption(*item);
    if (!settingCaption_ && editor_->toPlainText() != caption) {
        const QSignalBlocker quiet(editor_);
        editor_->setPlainText(caption);
    }
}

void PreviewPane::captionEdited() {
    if (!shown_) return;
    settingCaption_ = true;
    store_.setCaption(editor_->toPlainText(), *shown_);
    settingCaption_ = false;
}

}  // namespace lf::ui
