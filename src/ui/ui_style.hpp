#pragma once
// The few looks the window uses again and again: secondary text, the smaller callout and caption
// sizes, small notes, and the prominent button. Kept in one place so the panes look alike.
class QLabel;
class QPushButton;
class QWidget;

namespace lf::ui::style {

enum class ButtonSize { regular, large };

void makeSecondary(QWidget* label);   // the secondary text colour
void makeCallout(QWidget* label);     // a little smaller than body text
void makeCaption(QWidget* label);     // smaller still: captions, small notes
void makeNote(QLabel* label);         // a small, secondary, wrapping note
void makeProminent(QPushButton* button, ButtonSize size = ButtonSize::regular);  // accent-coloured default action
void makeSmall(QPushButton* button);

}  // namespace lf::ui::style
