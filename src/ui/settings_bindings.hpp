#pragma once
// Small helpers that put a value into a control without disturbing the person typing in it, and
// make toggles and pickers with their accessible names.
#include <string>
#include <vector>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "app/window_rules.hpp"

namespace lf::ui {

// Sets the text only when it differs, keeping the cursor where it was.
void showText(QLineEdit* field, const QString& text);
void showText(QPlainTextEdit* box, const QString& text);
void showText(QLineEdit* field, const std::string& text);

QCheckBox* makeToggle(const QString& text, QWidget* parent);
// A picker with the given choices, their values kept as item data.
QComboBox* makePicker(const QString& accessibleName, const std::vector<app::Choice>& choices, QWidget* parent);
// Selects the choice whose value is value (the first when none matches).
void showChoice(QComboBox* picker, const std::string& value);
std::string chosenValue(const QComboBox* picker);

}  // namespace lf::ui
