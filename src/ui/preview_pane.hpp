#pragma once
// The preview of the selected item: its picture (LargeImage) or its movie or sound (MediaPlayer),
// the "Caption" line with the item's information text, and the caption editor bound to the store;
// without a selection, one centred sentence.
#include <QWidget>

#include <optional>

#include "app/project_store.hpp"
#include "app/thumb_loader.hpp"
#include "model/item.hpp"

class QLabel;
class QPlainTextEdit;
class QStackedWidget;

namespace lf::ui {

class ElidedLabel;
class LargeImage;
class MediaPlayer;

class PreviewPane : public QWidget {
    Q_OBJECT
public:
    explicit PreviewPane(app::ProjectStore& store, app::ThumbLoader& loader = app::ThumbLoader::shared(),
                         QWidget* parent = nullptr);

    LargeImage* largeImage() const { return largeImage_; }
    MediaPlayer* mediaPlayer() const { return mediaPlayer_; }
    QPlainTextEdit* captionEditor() const { return editor_; }
    ElidedLabel* information() const { return information_; }
    QLabel* emptyText() const { return empty_; }
    // Whether the pane shows an item (false: the centred sentence).
    bool showsItem() const;

private:
    void refresh();
    void captionEdited();

    app::ProjectStore& store_;
    std::optional<model::Item> shown_;
    QStackedWidget* pages_ = nullptr;
    QLabel* empty_ = nullptr;
    QWidget* itemPage_ = nullptr;
    QStackedWidget* large_ = nullptr;
    LargeImage* largeImage_ = nullptr;
    MediaPlayer* mediaPlayer_ = nullptr;
    ElidedLabel* information_ = nullptr;
    QPlainTextEdit* editor_ = nullptr;
    bool settingCaption_ = false;
};

}  // namespace lf::ui
