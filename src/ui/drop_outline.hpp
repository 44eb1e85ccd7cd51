#pragma once
// The outline the main window shows while a drag that carries file locations hovers over it: a
// rounded rectangle in the accent colour, inset from the window's edges. It lies over the whole
// window and lets every click through.
#include <QWidget>

namespace lf::ui {

class DropOutline : public QWidget {
    Q_OBJECT
public:
    explicit DropOutline(QWidget* window);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace lf::ui
