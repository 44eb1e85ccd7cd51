#pragma once
// A small spinning progress indicator, the "busy, no fraction known" sign of the status bar and
// the welcome screen. It turns only while visible.
#include <QTimer>
#include <QWidget>

namespace lf::ui {

class Spinner : public QWidget {
    Q_OBJECT
public:
    explicit Spinner(int diameter, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int diameter_;
    int angle_ = 0;
    QTimer timer_;
};

}  // namespace lf::ui
