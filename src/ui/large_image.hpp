#pragma once
// The preview of a picture or a movie's poster: the 2000-pixel version from the shared picture
// cache, fit to the room with a soft shadow, a spinner while it is decoded, and, for a file that
// cannot be decoded, the kind's symbol and "Couldn’t show this picture." instead of a spinner that
// would turn forever.
#include <QImage>
#include <QWidget>

#include <optional>

#include "app/thumb_loader.hpp"
#include "model/item.hpp"

namespace lf::ui {

class Spinner;

class LargeImage : public QWidget {
    Q_OBJECT
public:
    // The longer side of the preview picture, in pixels.
    static constexpr int previewPixels = 2000;

    explicit LargeImage(app::ThumbLoader& loader = app::ThumbLoader::shared(), QWidget* parent = nullptr);

    // Shows the item: the picture is cleared, then asked for; an earlier request's answer is ignored.
    void setItem(const model::Item& item);

    enum class State { empty, loading, shown, failed };
    State state() const { return state_; }
    const QImage& image() const { return image_; }
    // The sentence shown for a file that cannot be decoded (empty otherwise).
    QString message() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeSpinner();

    app::ThumbLoader& loader_;
    std::optional<model::Item> item_;
    QImage image_;
    State state_ = State::empty;
    quint64 generation_ = 0;
    Spinner* spinner_ = nullptr;
};

}  // namespace lf::ui
