#include "ui/gallery_tab.hpp"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "app/project_store.hpp"
#include "app/window_rules.hpp"
#include "ui/elided_label.hpp"
#include "ui/settings_bindings.hpp"
#include "ui/settings_form.hpp"

namespace lf::ui {

GalleryTab::GalleryTab(app::ProjectStore& store, QWidget* parent) : SettingsTab(store, parent) {
    using model::GallerySettings;

    FormSection* about = addSection({});
    title = about->addTextField(QStringLiteral("Title"));
    connect(title, &QLineEdit::textChanged, this, [this](const QString& text) {
        edit([&](GallerySettings& s) { s.title = text.toStdString(); });
    });
    description = new GrowingTextEdit(about);
    description->setAccessibleName(QStringLiteral("Description"));
    auto* descriptionLabel = new QLabel(QStringLiteral("Description"), about);
    descriptionLabel->setBuddy(description);
    about->form()->addRow(descriptionLabel, description);
    connect(description, &QPlainTextEdit::textChanged, this, [this] {
        edit([&](GallerySettings& s) { s.galleryDescription = description->toPlainText().toStdString(); });
    });

    FormSection* look = addSection(QStringLiteral("Look"));
    templatePicker = makePicker(QStringLiteral("Template"), app::templateChoices(), look);
    look->form()->addRow(QStringLiteral("Template"), templatePicker);
    connect(templatePicker, &QComboBox::activated, this, [this] {
        edit([&](GallerySettings& s) { s.templateName = chosenValue(templatePicker); });
    });
    languagePicker = makePicker(QStringLiteral("Language"), app::languageChoices(), look);
    look->form()->addRow(QStringLiteral("Language"), languagePicker);
    connect(languagePicker, &QComboBox::activated, this, [this] {
        edit([&](GallerySettings& s) { s.language = chosenValue(languagePicker); });
    });
    const auto addToggle = [this](FormSection* section, const QString& text, bool GallerySettings::*field) {
        QCheckBox* toggle = makeToggle(text, section);
        section->addFullRow(toggle);
        connect(toggle, &QCheckBox::toggled, this, [this, field](bool on) { edit([&](GallerySettings& s) { s.*field = on; }); });
        return toggle;
    };
    captionsOnIndex = addToggle(look, QStringLiteral("Captions under thumbnails"), &GallerySettings::captionsOnIndex);
    showDate = addToggle(look, QStringLiteral("Show date taken"), &GallerySettings::showDate);
    showFilename = addToggle(look, QStringLiteral("Show file name"), &GallerySettings::showFilename);
    allowDownload = addToggle(look, QStringLiteral("Let visitors download originals"), &GallerySettings::allowDownload);

    FormSection* order = addSection(QStringLiteral("Order"));
    sortPicker = makePicker(QStringLiteral("Sort by"), app::sortChoices(), order);
    order->form()->addRow(QStringLiteral("Sort by"), sortPicker);
    // Sorting goes through the store: it re-sorts the items and keeps the order on screen for "manual".
    connect(sortPicker, &QComboBox::activated, this, [this] {
        if (!refreshing() && chosenValue(sortPicker) != store_.settings().sort) store_.setSort(chosenValue(sortPicker));
    });
    reverse = makeToggle(QStringLiteral("Reverse order"), order);
    order->addFullRow(reverse);
    connect(reverse, &QCheckBox::toggled, this, [this](bool on) {
        if (!refreshing() && store_.project()) store_.setReverse(on);
    });
    perPage = new Stepper(app::perPageRange.minimum, app::perPageRange.maximum, app::perPageRange.step, order);
    order->addFullRow(perPage);
    connect(perPage, &Stepper::valueEdited, this, [this](int value) { edit([&](GallerySettings& s) { s.perPage = value; }); });

    FormSection* saving = addSection(QStringLiteral("Saving"));
    auto* folderRow = new QWidget(saving);
    auto* folderLayout = new QVBoxLayout(folderRow);
    folderLayout->setContentsMargins(0, 0, 0, 0);
    folderLayout->setSpacing(6);
    auto* folderCaption = new QLabel(QStringLiteral("Gallery folder"), folderRow);
    outputFolder = new ElidedLabel(Qt::ElideLeft, folderRow);
    outputFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QHBoxLayout;
    changeOutput = new QPushButton(QStringLiteral("Change…"), folderRow);
    changeOutput->setAccessibleName(QStringLiteral("Change…"));
    connect(changeOutput, &QPushButton::clicked, &store_, &app::ProjectStore::chooseOutputFolder);
    showOutput = new QPushButton(QStringLiteral("Show in File Manager"), folderRow);
    showOutput->setAccessibleName(QStringLiteral("Show in File Manager"));
    connect(showOutput, &QPushButton::clicked, &store_, &app::ProjectStore::showInFinder);
    buttons->addWidget(changeOutput);
    buttons->addWidget(showOutput);
    buttons->addStretch(1);
    auto* folderLine = new QHBoxLayout;
    folderLine->addWidget(folderCaption);
    folderLine->addWidget(outputFolder, 1);
    folderLayout->addLayout(folderLine);
    folderLayout->addLayout(buttons);
    saving->addFullRow(folderRow);
    openBrowser = addToggle(saving, QStringLiteral("Open in browser when done"), &GallerySettings::openBrowser);

    finish();
}

void GalleryTab::refresh() {
    const model::GallerySettings s = store_.settings();
    showText(title, s.title);
    showText(description, QString::fromStdString(s.galleryDescription));
    showChoice(templatePicker, s.templateName);
    showChoice(languagePicker, s.language);
    captionsOnIndex->setChecked(s.captionsOnIndex);
    showDate->setChecked(s.showDate);
    showFilename->setChecked(s.showFilename);
    allowDownload->setChecked(s.allowDownload);
    showChoice(sortPicker, s.sort);
    reverse->setChecked(s.reverse);
    reverse->setEnabled(app::reverseEnabled(s));
    perPage->setValue(s.perPage);
    perPage->setLabel(app::perPageLabel(perPage->value()));
    const QString folder = QString::fromStdString(store_.outputFolder().string());
    outputFolder->setFullText(folder);
    outputFolder->setToolTip(folder);
    outputFolder->setAccessibleName(QStringLiteral("Gallery folder"));
    outputFolder->setAccessibleDescription(folder);
    openBrowser->setChecked(s.openBrowser);
}

}  // namespace lf::ui
