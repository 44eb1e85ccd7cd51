#include "ui/home_page_window.hpp"

#include <QLabel>
#include <QVBoxLayout>

namespace lf::ui {

HomePageWindow::HomePageWindow(home::HomeModel&, QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Home Page"));
    resize(640, 720);
    setMinimumSize(520, 560);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Home Page"), this), 0, Qt::AlignCenter);
}

}  // namespace lf::ui
