#pragma once
// The "Publish" tab: the Cloudflare site (name, token, domain, account, the last address), the
// password lock, how to get an API token, and the FTP server; each with its build button.
#include "ui/settings_tab.hpp"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace lf::ui {

class PublishTab : public SettingsTab {
    Q_OBJECT
public:
    PublishTab(app::ProjectStore& store, QWidget* parent);

    QLineEdit* siteName;
    QLineEdit* token;
    QLineEdit* domain;
    QWidget* willAppearRow;
    QLabel* willAppearAt;
    QLineEdit* accountID;
    QWidget* addressRow;
    QLabel* address;
    QPushButton* copyAddress;
    QPushButton* buildAndPublish;
    QCheckBox* locked;
    QWidget* passwordRow;
    QLineEdit* galleryPassword;
    QToolButton* tokenHelpToggle;
    QLabel* tokenHelp;
    QLineEdit* ftpHost;
    QLineEdit* ftpUser;
    QLineEdit* ftpPassword;
    QLineEdit* ftpDir;
    QCheckBox* ftpTLS;
    QPushButton* buildAndUpload;

protected:
    void refresh() override;

private:
    void refreshSecrets();
    void refreshBuilding();
};

}  // namespace lf::ui
