#pragma once
// A small spinning indicator for work of unknown length; it turns only while it is visible.
#include <QTimer>
#include <QWidget>

namespace lf::ui {

class BusySpinner : public QWidget {
    Q_OBJECT
public:
    explicit BusySpinner(int side = 16, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {side_, side_}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int side_;
    int step_ = 0;
    QTimer timer_;
};

}  // namespace lf::ui
