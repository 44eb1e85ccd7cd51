#include "ui/settings_bindings.hpp"

namespace lf::ui {

void showText(QLineEdit* field, const QString& text) {
    if (field->text() == text) return;
    const int cursor = field->cursorPosition();
    field->setText(text);
    if (field->hasFocus()) field->setCursorPosition(qMin(cursor, static_cast<int>(text.size())));
}

void showText(QLineEdit* field, const std::string& text) { showText(field, QString::fromStdString(text)); }

void showText(QPlainTextEdit* box, const QString& text) {
    if (box->toPlainText() == text) return;
    box->setPlainText(text);
}

QCheckBox* makeToggle(const QString& text, QWidget* parent) {
    auto* toggle = new QCheckBox(text, parent);
    toggle->setAccessibleName(text);
    return toggle;
}

QComboBox* makePicker(const QString& accessibleName, const std::vector<app::Choice>& choices, QWidget* parent) {
    auto* picker = new QComboBox(parent);
    picker->setAccessibleName(accessibleName);
    for (const auto& choice : choices) picker->addItem(choice.label, QString::fromStdString(choice.value));
    return picker;
}

void showChoice(QComboBox* picker, const std::string& value) {
    const int index = picker->findData(QString::fromStdString(value));
    picker->setCurrentIndex(index < 0 ? 0 : index);
}

std::string chosenValue(const QComboBox* picker) { return picker->currentData().toString().toStdString(); }

}  // namespace lf::ui
