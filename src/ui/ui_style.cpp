#include "ui/ui_style.hpp"

#include <QLabel>
#include <QPalette>
#include <QPushButton>

namespace lf::ui::style {

namespace {
void scaleFont(QWidget* widget, qreal factor) {
    QFont font = widget->font();
    font.setPointSizeF(font.pointSizeF() * factor);
    widget->setFont(font);
}
}  // namespace

void makeSecondary(QWidget* label) {
    QPalette palette = label->palette();
    QColor text = palette.color(QPalette::WindowText);
    text.setAlphaF(0.62);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    label->setPalette(palette);
}

void makeCallout(QWidget* label) { scaleFont(label, 0.92); }

void makeCaption(QWidget* label) { scaleFont(label, 0.85); }

void makeNote(QLabel* label) {
    label->setWordWrap(true);
    makeSecondary(label);
    makeCaption(label);
}

void makeProminent(QPushButton* button, ButtonSize size) {
    button->setDefault(size == ButtonSize::large);
    button->setAutoDefault(false);
    const QPalette palette = button->palette();
    const QColor accent = palette.color(QPalette::Highlight);
    const QColor onAccent = palette.color(QPalette::HighlightedText);
    const int padding = size == ButtonSize::large ? 10 : 5;
    const int horizontal = size == ButtonSize::large ? 22 : 14;
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: %2; border: none; border-radius: 6px;"
                                         " padding: %3px %4px; }"
                                         "QPushButton:hover { background: %5; }"
                                         "QPushButton:pressed { background: %6; }"
                                         "QPushButton:disabled { background: %7; color: %8; }"
                                         "QPushButton:focus { outline: none; border: 2px solid %6; }")
                              .arg(accent.name(), onAccent.name())
                              .arg(padding)
                              .arg(horizontal)
                              .arg(accent.lighter(112).name(), accent.darker(120).name(),
                                   palette.color(QPalette::Disabled, QPalette::Button).name(),
                                   palette.color(QPalette::Disabled, QPalette::ButtonText).name()));
    if (size == ButtonSize::large) scaleFont(button, 1.15);
}

void makeSmall(QPushButton* button) { scaleFont(button, 0.92); }

}  // namespace lf::ui::style
