#pragma once
// The "Pictures" tab: thumbnail and picture sizes, JPEG quality, the text watermark and its opacity.
#include "ui/settings_tab.hpp"

class QLabel;
class QLineEdit;

namespace lf::ui {

class LabeledSlider;
class Stepper;

class PicturesTab : public SettingsTab {
    Q_OBJECT
public:
    PicturesTab(app::ProjectStore& store, QWidget* parent);

    Stepper* thumbSize;
    Stepper* imageSize;
    LabeledSlider* quality;
    QLineEdit* watermark;
    LabeledSlider* opacity;

protected:
    void refresh() override;
};

}  // namespace lf::ui
