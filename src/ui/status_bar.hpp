#pragma once
// The bar along the bottom of the main window: the build's progress and "Stop" while building, a
// spinner while a folder opens or photo details are read, the store's status line (one line,
// shortened in the middle, selectable) and "Reading photo details…" on the right.
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace lf::app {
class ProjectStore;
}

namespace lf::ui {

class ElidedLabel;
class Spinner;

class StatusBar : public QWidget {
    Q_OBJECT
public:
    explicit StatusBar(app::ProjectStore& store, QWidget* parent = nullptr);

    // For tests and the accessibility tree.
    QProgressBar* progressBar() const { return progress_; }
    QPushButton* stopButton() const { return stop_; }
    Spinner* spinner() const { return spinner_; }
    ElidedLabel* statusText() const { return status_; }
    QLabel* readingDetails() const { return readingDetails_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    app::ProjectStore& store_;
    QProgressBar* progress_;
    QPushButton* stop_;
    Spinner* spinner_;
    ElidedLabel* status_;
    QLabel* readingDetails_;
};

}  // namespace lf::ui
