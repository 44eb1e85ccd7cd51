#pragma once
// Placeholder until the real Home Page window lands: the window "Home Page" the app shell opens
// from the menu and the toolbar (one instance, brought to the front when already open).
#include <QWidget>

namespace lf::home {
class HomeModel;
}

namespace lf::ui {

class HomePageWindow : public QWidget {
    Q_OBJECT
public:
    explicit HomePageWindow(home::HomeModel& home, QWidget* parent = nullptr);
};

}  // namespace lf::ui
