#pragma once
// What the main window shows before a folder is open: the icon, the name, what the program does,
// "Open a Folder…" (or a spinner with the status while a folder opens) and the hint about dragging.
#include <QWidget>

class QLabel;
class QPushButton;

namespace lf::app {
class ProjectStore;
}

namespace lf::ui {

class Spinner;

class WelcomeView : public QWidget {
    Q_OBJECT
public:
    explicit WelcomeView(app::ProjectStore& store, QWidget* parent = nullptr);

private:
    void refresh();

    app::ProjectStore& store_;
    QPushButton* openButton_;
    QWidget* openingRow_;
    Spinner* spinner_;
    QLabel* openingStatus_;
};

}  // namespace lf::ui
