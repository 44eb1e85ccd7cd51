#include "ui/elided_label.hpp"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QMenu>

namespace lf::ui {

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget* parent) : QLabel(parent), mode_(mode) {
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::setFullText(const QString& text) {
    if (text == fullText_ && this->text().isEmpty() == text.isEmpty()) return;
    fullText_ = text;
    setToolTip(text);
    setAccessibleDescription(text);
    refresh();
    updateGeometry();
}

void ElidedLabel::setLink(const QString& url) {
    if (url == link_) return;
    link_ = url;
    setTextFormat(link_.isEmpty() ? Qt::PlainText : Qt::RichText);
    setOpenExternalLinks(!link_.isEmpty());
    setTextInteractionFlags(link_.isEmpty() ? Qt::NoTextInteraction : Qt::TextBrowserInteraction);
    setText({});
    refresh();
}

QSize ElidedLabel::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

QSize ElidedLabel::sizeHint() const {
    return {fontMetrics().horizontalAdvance(fullText_) + 2, QLabel::sizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    refresh();
}

void ElidedLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) refresh();
}

void ElidedLabel::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy) && (textInteractionFlags() & Qt::TextSelectableByMouse)) {
        QApplication::clipboard()->setText(fullText_);
        return;
    }
    QLabel::keyPressEvent(event);
}

void ElidedLabel::contextMenuEvent(QContextMenuEvent* event) {
    if (!(textInteractionFlags() & Qt::TextSelectableByMouse)) {
        QLabel::contextMenuEvent(event);
        return;
    }
    QMenu menu(this);
    menu.addAction(QStringLiteral("Copy"), this, [this] { QApplication::clipboard()->setText(fullText_); });
    menu.exec(event->globalPos());
}

void ElidedLabel::refresh() {
    const QString shown = fontMetrics().elidedText(fullText_, mode_, qMax(0, contentsRect().width()));
    const QString wanted = link_.isEmpty() ? shown
                                           : QStringLiteral("<a href=\"%1\">%2</a>").arg(link_.toHtmlEscaped(), shown.toHtmlEscaped());
    if (wanted != text()) setText(wanted);
}

}  // namespace lf::ui
