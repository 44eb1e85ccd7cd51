#include "ui/elided_label.hpp"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

namespace lf::ui {

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget* parent) : QLabel(parent), mode_(mode) {
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setFullText(const QString& text) {
    if (text == fullText_) return;
    fullText_ = text;
    setAccessibleName(text);
    updateShownText();
}

QSize ElidedLabel::minimumSizeHint() const { return {0, fontMetrics().height()}; }

QSize ElidedLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(fullText_), fontMetrics().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    updateShownText();
}

void ElidedLabel::updateShownText() {
    const QString shown = fontMetrics().elidedText(fullText_, mode_, qMax(0, contentsRect().width()));
    QLabel::setText(shown);
}

void ElidedLabel::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        QApplication::clipboard()->setText(hasSelectedText() && selectedText().size() < text().size() && text() == fullText_
                                               ? selectedText()
                                               : fullText_);
        return;
    }
    QLabel::keyPressEvent(event);
}

void ElidedLabel::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(QStringLiteral("Copy"), this, [this] { QApplication::clipboard()->setText(fullText_); });
    menu.exec(event->globalPos());
}

}  // namespace lf::ui
