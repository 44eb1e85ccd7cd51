#pragma once
// One gallery of the Home Page window's list: the check box that shows or hides it on the home
// page, its cover, a padlock for a locked gallery, its title and address, and the two arrows that
// move it. The row is drawn at 55 % opacity while the gallery is left off the page.
#include <QWidget>

#include "home/gallery_discovery.hpp"
#include "home/home_model.hpp"

class QCheckBox;
class QGraphicsOpacityEffect;
class QLabel;
class QToolButton;

namespace lf::ui {

class ElidedLabel;

// The 44-point cover square: the picture filling it, or a faint wash while it loads or failed.
class CoverSquare : public QWidget {
    Q_OBJECT
public:
    static constexpr int side = 44;
    explicit CoverSquare(QWidget* parent = nullptr);
    void setImage(const QImage& image);
    const QImage& image() const { return image_; }
    QSize sizeHint() const override { return {side, side}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};

class RemoteGalleryRow : public QWidget {
    Q_OBJECT
public:
    RemoteGalleryRow(home::HomeModel& home, home::RemoteGallery gallery, QWidget* parent = nullptr);

    const home::RemoteGallery& gallery() const { return gallery_; }
    // Follows the model's settings: the check box and the opacity.
    void refresh();

    QCheckBox* checkBox() const { return check_; }
    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }
    QLabel* padlock() const { return padlock_; }
    CoverSquare* cover() const { return cover_; }
    qreal opacity() const;

private:
    home::HomeModel& home_;
    home::RemoteGallery gallery_;
    QCheckBox* check_ = nullptr;
    CoverSquare* cover_ = nullptr;
    QLabel* padlock_ = nullptr;
    QLabel* title_ = nullptr;
    ElidedLabel* address_ = nullptr;
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
    QGraphicsOpacityEffect* fade_ = nullptr;
};

}  // namespace lf::ui
