#pragma once
// The "Gallery" tab: title and description; the look (template, language, what the pages show);
// the order (sort, reverse, thumbnails per page); where the gallery is saved.
#include "ui/settings_tab.hpp"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace lf::ui {

class ElidedLabel;
class GrowingTextEdit;
class Stepper;

class GalleryTab : public SettingsTab {
    Q_OBJECT
public:
    GalleryTab(app::ProjectStore& store, QWidget* parent);

    QLineEdit* title;
    GrowingTextEdit* description;
    QComboBox* templatePicker;
    QComboBox* languagePicker;
    QCheckBox* captionsOnIndex;
    QCheckBox* showDate;
    QCheckBox* showFilename;
    QCheckBox* allowDownload;
    QComboBox* sortPicker;
    QCheckBox* reverse;
    Stepper* perPage;
    ElidedLabel* outputFolder;
    QPushButton* changeOutput;
    QPushButton* showOutput;
    QCheckBox* openBrowser;

protected:
    void refresh() override;
};

}  // namespace lf::ui
