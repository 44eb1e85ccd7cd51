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

void ElidedLabel::setLink(const QString& url) {
    if (url == link_) return;
    link_ = url;
    setTextFormat(link_.isEmpty() ? Qt::PlainText : Qt::RichText);
    setOpenExternalLinks(!link_.isEmpty());
    setTextInteractionFlags(link_.isEmpty() ? Qt::NoTextInteraction : Qt::TextBrowserInteraction);
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
    if (link_.isEmpty()) {
        QLabel::setText(shown);
    } else {
        QLabel::setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(link_.toHtmlEscaped(), shown.toHtmlEscaped()));
    }
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
