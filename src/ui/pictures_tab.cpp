#include "ui/pictures_tab.hpp"

#include <QLabel>
#include <QLineEdit>

#include "app/project_store.hpp"
#include "app/window_rules.hpp"
#include "ui/settings_bindings.hpp"
#include "ui/settings_form.hpp"
#include "ui/ui_style.hpp"

namespace lf::ui {

PicturesTab::PicturesTab(app::ProjectStore& store, QWidget* parent) : SettingsTab(store, parent) {
    using model::GallerySettings;

    FormSection* sizes = addSection(QStringLiteral("Sizes"));
    thumbSize = new Stepper(app::thumbSizeRange.minimum, app::thumbSizeRange.maximum, app::thumbSizeRange.step, sizes);
    sizes->addFullRow(thumbSize);
    connect(thumbSize, &Stepper::valueEdited, this, [this](int value) { edit([&](GallerySettings& s) { s.thumbSize = value; }); });
    imageSize = new Stepper(app::imageSizeRange.minimum, app::imageSizeRange.maximum, app::imageSizeRange.step, sizes);
    sizes->addFullRow(imageSize);
    connect(imageSize, &Stepper::valueEdited, this, [this](int value) { edit([&](GallerySettings& s) { s.imageSize = value; }); });
    quality = new LabeledSlider(app::qualityRange.minimum, app::qualityRange.maximum, app::qualityRange.step,
                                QStringLiteral("Smaller"), QStringLiteral("Sharper"), sizes);
    sizes->addFullRow(quality);
    connect(quality, &LabeledSlider::valueEdited, this, [this](int value) { edit([&](GallerySettings& s) { s.quality = value; }); });

    FormSection* mark = addSection(QStringLiteral("Watermark"));
    watermark = mark->addTextField(QStringLiteral("Text"), QStringLiteral("e.g. © Your Name"));
    connect(watermark, &QLineEdit::textChanged, this, [this](const QString& text) {
        edit([&](GallerySettings& s) { s.watermark = text.toStdString(); });
    });
    opacity = new LabeledSlider(app::opacityRange.minimum, app::opacityRange.maximum, app::opacityRange.step, {}, {}, mark);
    mark->addFullRow(opacity);
    connect(opacity, &LabeledSlider::valueEdited, this, [this](int value) {
        edit([&](GallerySettings& s) { s.watermarkOpacity = value; });
    });

    FormSection* notes = addSection({});
    auto* note = new QLabel(QStringLiteral("Pictures are saved as JPEG without location data. Animated GIFs are kept as they "
                                           "are. Movies and sounds are copied unchanged."),
                            notes);
    style::makeNote(note);
    notes->addFullRow(note);

    finish();
}

void PicturesTab::refresh() {
    const model::GallerySettings s = store_.settings();
    thumbSize->setValue(s.thumbSize);
    thumbSize->setLabel(app::thumbSizeLabel(s.thumbSize));
    imageSize->setValue(s.imageSize);
    imageSize->setLabel(app::imageSizeLabel(s.imageSize));
    quality->setValue(s.quality);
    quality->setLabel(app::qualityLabel(s.quality));
    showText(watermark, s.watermark);
    opacity->setValue(s.watermarkOpacity);
    opacity->setLabel(app::opacityLabel(s.watermarkOpacity));
    opacity->setEnabled(app::opacityEnabled(s));
}

}  // namespace lf::ui
