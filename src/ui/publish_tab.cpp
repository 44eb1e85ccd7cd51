#include "ui/publish_tab.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "app/project_store.hpp"
#include "app/window_rules.hpp"
#include "ui/settings_bindings.hpp"
#include "ui/settings_form.hpp"
#include "ui/ui_style.hpp"

namespace lf::ui {

namespace {

const char* passwordNote =
    "Visitors type the password once and stay signed in until they close their browser. Only a scrambled copy of "
    "it is published. It’s kept in the system keyring, and the cover picture stays visible so the home page can "
    "show the gallery. Publish again after changing it. Works with Cloudflare publishing only, not FTP.";

const char* tokenHelpText =
    "1. Sign in at <a href=\"https://dash.cloudflare.com/profile/api-tokens\">dash.cloudflare.com</a> and open My "
    "Profile → API Tokens.<br>"
    "2. Click Create Token, then Create Custom Token.<br>"
    "3. Name it “Lanternfold”. Under Permissions choose Account → Workers Scripts → Edit.<br>"
    "4. Under Account Resources, include your account.<br>"
    "5. Click Continue to summary, then Create Token. Copy the token and paste it above. Cloudflare shows it only "
    "once.<br><br>"
    "Your gallery will be at https://<i>site-name</i>.<i>your-subdomain</i>.workers.dev. Visits are free and "
    "unlimited. The token is kept in the system keyring.";

const char* ftpNote =
    "For your own web space. The password is kept in the system keyring. Turn off the secure connection only if "
    "your host doesn’t support it.";

QLabel* addValueRow(FormSection* section, const QString& caption, QWidget*& row) {
    auto* value = new QLabel(section);
    value->setWordWrap(true);
    value->setAccessibleName(caption);
    section->form()->addRow(caption, value);
    row = value;
    return value;
}

}  // namespace

PublishTab::PublishTab(app::ProjectStore& store, QWidget* parent) : SettingsTab(store, parent) {
    using model::GallerySettings;

    FormSection* cloudflare = addSection(QStringLiteral("Cloudflare (free)"));
    siteName = cloudflare->addTextField(QStringLiteral("Site name"), QStringLiteral("my-gallery"));
    connect(siteName, &QLineEdit::textChanged, this, [this](const QString& text) {
        edit([&](GallerySettings& s) { s.cfSiteName = app::typedSiteName(text); });
    });
    token = cloudflare->addSecureField(QStringLiteral("API token"));
    connect(token, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!refreshing()) store_.setCloudflareToken(text);
    });
    domain = cloudflare->addTextField(QStringLiteral("Your domain"), QStringLiteral("Optional, e.g. photos.example.com"));
    connect(domain, &QLineEdit::textChanged, this, [this](const QString& text) {
        edit([&](GallerySettings& s) { s.cfDomain = text.toStdString(); });
    });
    willAppearAt = addValueRow(cloudflare, QStringLiteral("Will appear at"), willAppearRow);
    style::makeSecondary(willAppearAt);
    willAppearAt->setTextInteractionFlags(Qt::TextSelectableByMouse);
    accountID = cloudflare->addTextField(QStringLiteral("Account ID"), QStringLiteral("Found automatically"));
    connect(accountID, &QLineEdit::textChanged, this, [this](const QString& text) {
        edit([&](GallerySettings& s) { s.cfAccountID = text.toStdString(); });
    });
    address = addValueRow(cloudflare, QStringLiteral("Address"), addressRow);
    address->setTextFormat(Qt::RichText);
    address->setOpenExternalLinks(true);
    address->setTextInteractionFlags(Qt::TextBrowserInteraction);

    auto* buttons = new QWidget(cloudflare);
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(0, 4, 0, 0);
    copyAddress = new QPushButton(QStringLiteral("Copy Address"), buttons);
    copyAddress->setAccessibleName(QStringLiteral("Copy Address"));
    connect(copyAddress, &QPushButton::clicked, this, [this] {
        QApplication::clipboard()->setText(QString::fromStdString(store_.settings().cfLastURL));
    });
    buildAndPublish = new QPushButton(QStringLiteral("Build and Publish"), buttons);
    buildAndPublish->setAccessibleName(QStringLiteral("Build and Publish"));
    style::makeProminent(buildAndPublish);
    connect(buildAndPublish, &QPushButton::clicked, &store_, [this] { store_.build(app::Destination::cloudflare); });
    buttonRow->addWidget(copyAddress);
    buttonRow->addStretch(1);
    buttonRow->addWidget(buildAndPublish);
    cloudflare->addFullRow(buttons);

    FormSection* lock = addSection(QStringLiteral("Password"));
    locked = makeToggle(QStringLiteral("Require a password to view this gallery"), lock);
    lock->addFullRow(locked);
    connect(locked, &QCheckBox::toggled, this, [this](bool on) { edit([&](GallerySettings& s) { s.locked = on; }); });
    passwordRow = new QWidget(lock);
    auto* passwordLayout = new QFormLayout(passwordRow);
    passwordLayout->setContentsMargins(0, 0, 0, 0);
    passwordLayout->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    galleryPassword = new QLineEdit(passwordRow);
    galleryPassword->setEchoMode(QLineEdit::Password);
    galleryPassword->setAccessibleName(QStringLiteral("Gallery password"));
    passwordLayout->addRow(QStringLiteral("Gallery password"), galleryPassword);
    connect(galleryPassword, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!refreshing()) store_.setGalleryPassword(text);
    });
    auto* note = new QLabel(QString::fromUtf8(passwordNote), passwordRow);
    style::makeNote(note);
    passwordLayout->addRow(note);
    lock->addFullRow(passwordRow);

    FormSection* help = addSection({});
    tokenHelpToggle = new QToolButton(help);
    tokenHelpToggle->setText(QStringLiteral("How to get an API token"));
    tokenHelpToggle->setAccessibleName(QStringLiteral("How to get an API token"));
    tokenHelpToggle->setCheckable(true);
    tokenHelpToggle->setChecked(false);
    tokenHelpToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tokenHelpToggle->setArrowType(Qt::RightArrow);
    tokenHelpToggle->setAutoRaise(true);
    help->addFullRow(tokenHelpToggle);
    tokenHelp = new QLabel(QString::fromUtf8(tokenHelpText), help);
    tokenHelp->setWordWrap(true);
    tokenHelp->setTextFormat(Qt::RichText);
    tokenHelp->setOpenExternalLinks(true);
    tokenHelp->setTextInteractionFlags(Qt::TextBrowserInteraction);
    tokenHelp->setAccessibleName(QStringLiteral("How to get an API token"));
    tokenHelp->setVisible(false);
    help->addFullRow(tokenHelp);
    // Whether the help is open is the pane's own state; it starts closed.
    connect(tokenHelpToggle, &QToolButton::toggled, this, [this](bool open) {
        tokenHelp->setVisible(open);
        tokenHelpToggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    });

    FormSection* ftp = addSection(QStringLiteral("FTP server"));
    ftpHost = ftp->addTextField(QStringLiteral("Server"), QStringLiteral("ftp.example.com"));
    connect(ftpHost, &QLineEdit::textChanged, this, [this](const QString& text) {
        edit([&](GallerySettings& s) { s.ftpHost = text.toStdString(); });
    });
    ftpUser = ftp->addTextField(QStringLiteral("User name"));
    connect(ftpUser, &QLineEdit::textChanged, this, [this](const QString& text) {
        edit([&](GallerySettings& s) { s.ftpUser = text.toStdString(); });
    });
    ftpPassword = ftp->addSecureField(QStringLiteral("Password"));
    connect(ftpPassword, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (!refreshing()) store_.setPassword(text);
    });
    ftpDir = ftp->addTextField(QStringLiteral("Folder on server"), QStringLiteral("/"));
    connect(ftpDir, &QLineEdit::textChanged, this, [this](const QString& text) {
        edit([&](GallerySettings& s) { s.ftpDir = text.toStdString(); });
    });
    ftpTLS = makeToggle(QStringLiteral("Secure connection (FTPS)"), ftp);
    ftp->addFullRow(ftpTLS);
    connect(ftpTLS, &QCheckBox::toggled, this, [this](bool on) { edit([&](GallerySettings& s) { s.ftpTLS = on; }); });
    buildAndUpload = new QPushButton(QStringLiteral("Build and Upload"), ftp);
    buildAndUpload->setAccessibleName(QStringLiteral("Build and Upload"));
    connect(buildAndUpload, &QPushButton::clicked, &store_, [this] { store_.build(app::Destination::ftp); });
    auto* uploadRow = new QWidget(ftp);
    auto* uploadLayout = new QHBoxLayout(uploadRow);
    uploadLayout->setContentsMargins(0, 4, 0, 0);
    uploadLayout->addStretch(1);
    buildAndUpload->setParent(uploadRow);
    uploadLayout->addWidget(buildAndUpload);
    ftp->addFullRow(uploadRow);

    FormSection* notes = addSection({});
    auto* ftpNoteLabel = new QLabel(QString::fromUtf8(ftpNote), notes);
    style::makeNote(ftpNoteLabel);
    notes->addFullRow(ftpNoteLabel);

    refreshOn(&app::ProjectStore::passwordChanged, &app::ProjectStore::cloudflareTokenChanged,
              &app::ProjectStore::galleryPasswordChanged, &app::ProjectStore::isBuildingChanged);
    finish();
}

void PublishTab::refresh() {
    const model::GallerySettings s = store_.settings();
    const std::string site = store_.effectiveSiteName();
    showText(siteName, site);
    showText(domain, s.cfDomain);
    const QString appearsAt = app::willAppearAt(site, s.cfDomain);
    willAppearAt->setText(appearsAt);
    willAppearAt->setAccessibleDescription(appearsAt);
    QFormLayout* cloudflareForm = static_cast<FormSection*>(willAppearRow->parentWidget())->form();
    cloudflareForm->setRowVisible(willAppearRow, !appearsAt.isEmpty());
    showText(accountID, s.cfAccountID);
    const auto published = app::publishedAddress(s.cfLastURL);
    if (published) {
        const QString url = published->toString();
        address->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), url.toHtmlEscaped()));
        address->setAccessibleDescription(url);
    }
    cloudflareForm->setRowVisible(addressRow, published.has_value());
    copyAddress->setVisible(app::canCopyAddress(s.cfLastURL));
    locked->setChecked(s.locked);
    passwordRow->setVisible(s.locked);
    showText(ftpHost, s.ftpHost);
    showText(ftpUser, s.ftpUser);
    showText(ftpDir, s.ftpDir);
    ftpTLS->setChecked(s.ftpTLS);
    refreshSecrets();
    refreshBuilding();
}

void PublishTab::refreshSecrets() {
    showText(token, store_.cloudflareToken());
    showText(galleryPassword, store_.galleryPassword());
    showText(ftpPassword, store_.password());
}

void PublishTab::refreshBuilding() {
    buildAndPublish->setEnabled(!store_.isBuilding());
    buildAndUpload->setEnabled(!store_.isBuilding());
}

}  // namespace lf::ui
