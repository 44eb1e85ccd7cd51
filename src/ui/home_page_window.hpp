#pragma once
// The Home Page window: a thin view over HomeModel. Its fields edit the home page's settings (saved
// by the model on every change), its list shows the galleries found in the Cloudflare account with
// their order and whether they appear, and its bar previews and publishes the page. Every button
// calls one model operation; the API token is read from the keyring (off the main thread) at the
// moment of the action.
#include <QWidget>
#include <QUrl>

#include <functional>
#include <string>
#include <vector>

#include "home/home_model.hpp"

class QComboBox;
class QFormLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

namespace lf::ui {

class Spinner;
class ElidedLabel;
class RemoteGalleryRow;

class HomePageWindow : public QWidget {
    Q_OBJECT
public:
    explicit HomePageWindow(home::HomeModel& home, QWidget* parent = nullptr);

    // Where the token comes from (the keyring by default; called on a pool thread) and how an
    // address is opened (the default browser by default). Tests put in their own.
    void setTokenSource(std::function<std::string()> source) { tokenSource_ = std::move(source); }
    void setUrlOpener(std::function<void(const QUrl&)> opener) { openUrl_ = std::move(opener); }

    // The parts tests and the accessibility tree look at.
    QLineEdit* titleField() const { return title_; }
    QPlainTextEdit* descriptionField() const { return description_; }
    QComboBox* templatePicker() const { return template_; }
    QComboBox* languagePicker() const { return language_; }
    QLineEdit* domainField() const { return domain_; }
    QLineEdit* homeNameField() const { return homeName_; }
    QLabel* willAppearAt() const { return willAppearAt_; }
    ElidedLabel* addressLink() const { return address_; }
    bool homeNameShown() const;
    bool addressShown() const;
    QPushButton* refreshButton() const { return refresh_; }
    QPushButton* previewButton() const { return preview_; }
    QPushButton* publishButton() const { return publish_; }
    QLabel* emptyText() const { return empty_; }
    QWidget* loadingRow() const { return loading_; }
    ElidedLabel* statusText() const { return status_; }
    Spinner* spinner() const { return spinner_; }
    std::vector<RemoteGalleryRow*> rows() const { return rows_; }
    QMessageBox* alert() const { return alert_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void settingsFromModel();
    void galleriesFromModel();
    void stateFromModel();
    void errorFromModel();
    void editSettings(const std::function<void(home::HomeSettings&)>& change);
    void withToken(std::function<void(const std::string&)> action);
    void resizeDescription();

    home::HomeModel& home_;
    std::function<std::string()> tokenSource_;
    std::function<void(const QUrl&)> openUrl_;
    bool appeared_ = false;
    bool publishAsked_ = false;  // from the press until the model reports it is working

    QLineEdit* title_ = nullptr;
    QPlainTextEdit* description_ = nullptr;
    QComboBox* template_ = nullptr;
    QComboBox* language_ = nullptr;
    QLineEdit* domain_ = nullptr;
    QFormLayout* form_ = nullptr;
    QLineEdit* homeName_ = nullptr;
    QLabel* willAppearAt_ = nullptr;
    ElidedLabel* address_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QLabel* empty_ = nullptr;
    QWidget* loading_ = nullptr;
    QVBoxLayout* rowsLayout_ = nullptr;
    std::vector<RemoteGalleryRow*> rows_;
    Spinner* spinner_ = nullptr;
    ElidedLabel* status_ = nullptr;
    QPushButton* preview_ = nullptr;
    QPushButton* publish_ = nullptr;
    QMessageBox* alert_ = nullptr;
};

}  // namespace lf::ui
