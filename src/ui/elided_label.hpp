#pragma once
// A one-line label that shortens its text to the room it has (in the middle for file names and
// addresses, at the start for paths), keeping the whole text as its tooltip and accessible
// description. When its text is selectable, copying (Ctrl+C or the context menu) takes the whole
// text, not the shortened one.
#include <QLabel>

namespace lf::ui {

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(Qt::TextElideMode mode = Qt::ElideMiddle, QWidget* parent = nullptr);

    void setFullText(const QString& text);
    // Shows the text as a link to url, opened in the default browser when clicked; empty: plain.
    void setLink(const QString& url);
    const QString& fullText() const { return fullText_; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void refresh();

    Qt::TextElideMode mode_;
    QString fullText_;
    QString link_;
};

}  // namespace lf::ui
