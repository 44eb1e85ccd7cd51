#include "ui/home_page_window.hpp"

#include <QComboBox>
#include <QDesktopServices>
#include <QFormLayout>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTextBlock>
#include <QThreadPool>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "app/keychain.hpp"
#include "ui/spinner.hpp"
#include "ui/elided_label.hpp"
#include "ui/remote_gallery_row.hpp"

namespace lf::ui {

namespace {

QString fromStd(const std::string& text) { return QString::fromStdString(text); }

QLabel* secondaryLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QFont smaller(QFont font) {
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

// Sets a line edit's text only when it differs, so the cursor of someone typing stays put.
void follow(QLineEdit* field, const std::string& value) {
    const QString text = fromStd(value);
    if (field->text() != text) field->setText(text);
}

void selectData(QComboBox* picker, const std::string& value) {
    const int index = picker->findData(fromStd(value));
    if (index >= 0 && picker->currentIndex() != index) {
        const QSignalBlocker quiet(picker);
        picker->setCurrentIndex(index);
    }
}

}  // namespace

HomePageWindow::HomePageWindow(home::HomeModel& home, QWidget* parent) : QWidget(parent), home_(home) {
    setWindowTitle(QStringLiteral("Home Page"));
    setAccessibleName(QStringLiteral("Home Page"));
    setMinimumSize(520, 560);
    resize(640, 720);
    tokenSource_ = [] { return app::Keychain().cloudflareToken().value_or(std::string()); };
    openUrl_ = [](const QUrl& url) { QDesktopServices::openUrl(url); };

    // ---- Section "Home page" -----------------------------------------------------------------
    auto* content = new QWidget;
    auto* homeBox = new QGroupBox(QStringLiteral("Home page"), content);
    form_ = new QFormLayout(homeBox);
    form_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    title_ = new QLineEdit(homeBox);
    title_->setAccessibleName(QStringLiteral("Title"));
    form_->addRow(QStringLiteral("Title"), title_);

    description_ = new QPlainTextEdit(homeBox);
    description_->setAccessibleName(QStringLiteral("Description"));
    description_->setTabChangesFocus(true);
    form_->addRow(QStringLiteral("Description"), description_);

    template_ = new QComboBox(homeBox);
    template_->setAccessibleName(QStringLiteral("Template"));
    template_->addItem(QStringLiteral("Classic"), QStringLiteral("classic"));
    template_->addItem(QStringLiteral("Dark"), QStringLiteral("dark"));
    template_->addItem(QStringLiteral("Minimal"), QStringLiteral("minimal"));
    form_->addRow(QStringLiteral("Template"), template_);

    language_ = new QComboBox(homeBox);
    language_->setAccessibleName(QStringLiteral("Language"));
    language_->addItem(QStringLiteral("English"), QStringLiteral("en"));
    language_->addItem(QStringLiteral("Français"), QStringLiteral("fr"));
    language_->addItem(QStringLiteral("Deutsch"), QStringLiteral("de"));
    language_->addItem(QStringLiteral("Italiano"), QStringLiteral("it"));
    language_->addItem(QStringLiteral("Nederlands"), QStringLiteral("nl"));
    form_->addRow(QStringLiteral("Language"), language_);

    domain_ = new QLineEdit(homeBox);
    domain_->setAccessibleName(QStringLiteral("Your domain"));
    domain_->setPlaceholderText(QStringLiteral("Optional, e.g. example.com"));
    form_->addRow(QStringLiteral("Your domain"), domain_);

    homeName_ = new QLineEdit(homeBox);
    homeName_->setAccessibleName(QStringLiteral("Home page address"));
    homeName_->setPlaceholderText(QStringLiteral("Empty: the domain itself"));
    form_->addRow(QStringLiteral("Home page address"), homeName_);

    willAppearAt_ = secondaryLabel({}, homeBox);
    willAppearAt_->setAccessibleName(QStringLiteral("Will appear at"));
    willAppearAt_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form_->addRow(QStringLiteral("Will appear at"), willAppearAt_);

    address_ = new ElidedLabel(Qt::ElideMiddle, homeBox);
    address_->setAccessibleName(QStringLiteral("Address"));
    form_->addRow(QStringLiteral("Address"), address_);

    // ---- Section of the galleries ------------------------------------------------------------
    auto* galleriesBox = new QGroupBox(content);
    galleriesBox->setAccessibleName(QStringLiteral("Galleries in your Cloudflare account"));
    auto* galleriesColumn = new QVBoxLayout(galleriesBox);
    auto* header = new QHBoxLayout;
    auto* headerText = new QLabel(QStringLiteral("Galleries in your Cloudflare account"), galleriesBox);
    QFont bold = headerText->font();
    bold.setBold(true);
    headerText->setFont(bold);
    refresh_ = new QPushButton(QStringLiteral("Refresh"), galleriesBox);
    refresh_->setAccessibleName(QStringLiteral("Refresh"));
    refresh_->setFont(smaller(refresh_->font()));
    header->addWidget(headerText, 1);
    header->addWidget(refresh_);
    galleriesColumn->addLayout(header);

    empty_ = secondaryLabel(QStringLiteral("No published galleries yet. Publish a gallery and it will appear here."),
                            galleriesBox);
    empty_->setWordWrap(true);
    galleriesColumn->addWidget(empty_);

    loading_ = new QWidget(galleriesBox);
    auto* loadingRow = new QHBoxLayout(loading_);
    loadingRow->setContentsMargins(0, 0, 0, 0);
    loadingRow->setSpacing(8);
    loadingRow->addWidget(new Spinner(14, loading_));
    loadingRow->addWidget(secondaryLabel(QStringLiteral("Looking for your galleries…"), loading_), 1);
    galleriesColumn->addWidget(loading_);

    rowsLayout_ = new QVBoxLayout;
    rowsLayout_->setSpacing(0);
    galleriesColumn->addLayout(rowsLayout_);

    auto* footer = secondaryLabel(QStringLiteral("Every gallery you publish, from any computer, appears here. Untick one "
                                                 "to leave it off the page. Publishing a gallery updates the home page "
                                                 "automatically."),
                                  content);
    footer->setFont(smaller(footer->font()));
    footer->setWordWrap(true);

    auto* contentColumn = new QVBoxLayout(content);
    contentColumn->setContentsMargins(16, 16, 16, 16);
    contentColumn->setSpacing(12);
    contentColumn->addWidget(homeBox);
    contentColumn->addWidget(galleriesBox);
    contentColumn->addWidget(footer);
    contentColumn->addStretch(1);

    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(content);

    // ---- The bar -------------------------------------------------------------------------------
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    spinner_ = new Spinner(16, this);
    status_ = new ElidedLabel(Qt::ElideMiddle, this);
    status_->setAccessibleName(QStringLiteral("Status"));
    status_->setForegroundRole(QPalette::PlaceholderText);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    preview_ = new QPushButton(QStringLiteral("Preview"), this);
    preview_->setAccessibleName(QStringLiteral("Preview"));
    publish_ = new QPushButton(QStringLiteral("Build and Publish"), this);
    publish_->setAccessibleName(QStringLiteral("Build and Publish"));
    publish_->setDefault(true);  // the prominent button
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(12, 12, 12, 12);
    bar->setSpacing(10);
    bar->addWidget(spinner_);
    bar->addWidget(status_, 1);
    bar->addWidget(preview_);
    bar->addWidget(publish_);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(scroll, 1);
    column->addWidget(divider);
    column->addLayout(bar);

    // ---- Bindings: every edit goes into the model's settings --------------------------------
    connect(title_, &QLineEdit::textEdited, this,
            [this](const QString& text) { editSettings([&](auto& s) { s.title = text.toStdString(); }); });
    connect(description_, &QPlainTextEdit::textChanged, this, [this] {
        const std::string text = description_->toPlainText().toStdString();
        if (text != home_.settings().description) editSettings([&](auto& s) { s.description = text; });
        resizeDescription();
    });
    connect(template_, &QComboBox::currentIndexChanged, this, [this] {
        editSettings([&](auto& s) { s.templateName = template_->currentData().toString().toStdString(); });
    });
    connect(language_, &QComboBox::currentIndexChanged, this, [this] {
        editSettings([&](auto& s) { s.language = language_->currentData().toString().toStdString(); });
    });
    connect(domain_, &QLineEdit::textEdited, this,
            [this](const QString& text) { editSettings([&](auto& s) { s.domain = text.toStdString(); }); });
    connect(homeName_, &QLineEdit::textEdited, this,
            [this](const QString& text) { editSettings([&](auto& s) { s.homeName = text.toStdString(); }); });

    connect(refresh_, &QPushButton::clicked, this, [this] {
        withToken([this](const std::string& token) { home_.load(token, home_.settings().accountID); });
    });
    connect(preview_, &QPushButton::clicked, this, [this] { home_.preview(); });
    connect(&home_, &home::HomeModel::previewReady, this,
            [this](const QString& indexPath) { openUrl_(QUrl::fromLocalFile(indexPath)); });
    connect(publish_, &QPushButton::clicked, this, [this] {
        // The button goes grey at once; the model also ignores a publish while one runs.
        publishAsked_ = true;
        stateFromModel();
        withToken([this](const std::string& token) {
            publishAsked_ = false;
            home_.publish(token, home_.settings().accountID, home_.settings().domain);
            stateFromModel();
        });
    });

    connect(&home_, &home::HomeModel::settingsChanged, this, &HomePageWindow::settingsFromModel);
    connect(&home_, &home::HomeModel::galleriesChanged, this, &HomePageWindow::galleriesFromModel);
    for (auto signal : {&home::HomeModel::loadedChanged, &home::HomeModel::isLoadingChanged,
                        &home::HomeModel::isWorkingChanged, &home::HomeModel::statusChanged}) {
        connect(&home_, signal, this, &HomePageWindow::stateFromModel);
    }
    connect(&home_, &home::HomeModel::errorMessageChanged, this, &HomePageWindow::errorFromModel);

    settingsFromModel();
    galleriesFromModel();
    stateFromModel();
    errorFromModel();
}

bool HomePageWindow::homeNameShown() const { return form_->isRowVisible(homeName_); }
bool HomePageWindow::addressShown() const { return form_->isRowVisible(address_); }

void HomePageWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // One load the first time the window appears; later showings reuse the list until "Refresh"
    // or a gallery publish asks for a new one.
    if (appeared_) return;
    appeared_ = true;
    if (!home_.loaded()) {
        withToken([this](const std::string& token) { home_.load(token, home_.settings().accountID); });
    }
}

void HomePageWindow::withToken(std::function<void(const std::string&)> action) {
    // The keyring answers over D-Bus, so it is asked on the thread pool, at the moment of the action.
    QtConcurrent::run(QThreadPool::globalInstance(), tokenSource_)
        .then(this, [action = std::move(action)](const std::string& token) { action(token); });
}

void HomePageWindow::editSettings(const std::function<void(home::HomeSettings&)>& change) {
    home::HomeSettings settings = home_.settings();
    change(settings);
    home_.setSettings(settings);
}

void HomePageWindow::settingsFromModel() {
    const home::HomeSettings& settings = home_.settings();
    follow(title_, settings.title);
    if (description_->toPlainText().toStdString() != settings.description) {
        const QSignalBlocker quiet(description_);
        description_->setPlainText(fromStd(settings.description));
    }
    resizeDescription();
    selectData(template_, settings.templateName);
    selectData(language_, settings.language);
    follow(domain_, settings.domain);
    follow(homeName_, settings.homeName);

    const bool custom = home_.hasCustomDomain();
    form_->setRowVisible(homeName_, custom);
    form_->setRowVisible(willAppearAt_, custom);
    willAppearAt_->setText(fromStd(home_.customHost()));

    const QString shown = fromStd(home_.shownAddress());
    form_->setRowVisible(address_, !shown.isEmpty());
    address_->setLink(shown);
    address_->setFullText(shown);

    for (RemoteGalleryRow* row : rows_) row->refresh();
}

void HomePageWindow::resizeDescription() {
    // Grows with its text from two to five lines.
    const QFontMetrics metrics(description_->font());
    int lines = 0;
    for (QTextBlock block = description_->document()->begin(); block.isValid(); block = block.next()) {
        lines += qMax(1, block.layout() ? block.layout()->lineCount() : 1);
    }
    const int shown = qBound(2, lines, 5);
    const int frame = 2 * description_->frameWidth() + int(description_->document()->documentMargin() * 2);
    description_->setFixedHeight(shown * metrics.lineSpacing() + frame + 2);
}

void HomePageWindow::galleriesFromModel() {
    for (RemoteGalleryRow* row : rows_) {
        rowsLayout_->removeWidget(row);
        row->deleteLater();
    }
    rows_.clear();
    for (const home::RemoteGallery& gallery : home_.galleries()) {
        auto* row = new RemoteGalleryRow(home_, gallery, rowsLayout_->parentWidget());
        rowsLayout_->addWidget(row);
        rows_.push_back(row);
    }
    stateFromModel();
}

void HomePageWindow::stateFromModel() {
    const bool loading = home_.isLoading();
    const bool working = home_.isWorking();
    const bool none = home_.galleries().empty();
    empty_->setVisible(!loading && home_.loaded() && none);
    loading_->setVisible(loading && none);
    refresh_->setEnabled(!loading);
    spinner_->setVisible(working || loading);
    status_->setFullText(fromStd(home_.status()));
    preview_->setEnabled(!working && !none);
    publish_->setEnabled(!working && !publishAsked_);
}

void HomePageWindow::errorFromModel() {
    const auto& message = home_.errorMessage();
    if (!message) {
        if (alert_) alert_->hide();
        return;
    }
    if (!alert_) {
        alert_ = new QMessageBox(QMessageBox::Warning, QStringLiteral("Lanternfold"), {}, QMessageBox::NoButton, this);
        alert_->setAccessibleName(QStringLiteral("Lanternfold"));
        QPushButton* ok = alert_->addButton(QStringLiteral("OK"), QMessageBox::RejectRole);
        alert_->setEscapeButton(ok);
        alert_->setDefaultButton(ok);
        connect(alert_, &QMessageBox::finished, this, [this] { home_.setErrorMessage(std::nullopt); });
    }
    alert_->setText(fromStd(*message));
    alert_->open();
}

}  // namespace lf::ui
