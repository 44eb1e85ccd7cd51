#pragma once
// A one-line label that shortens a text too long for its room with an ellipsis in the middle, or at
// its start for paths, so the interesting ends stay visible. The whole text stays available: as the
// tooltip when asked, and for copying (Ctrl+C or the context menu copy the full text, not the
// shortened one).
#include <QLabel>

namespace lf::ui {

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(Qt::TextElideMode mode, QWidget* parent = nullptr);

    void setFullText(const QString& text);
    // Shows the text as a link to url, opened in the default browser when clicked; empty: plain.
    void setLink(const QString& url);
    const QString& fullText() const { return fullText_; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void updateShownText();
    QString fullText_;
    Qt::TextElideMode mode_;
    QString link_;
};

}  // namespace lf::ui
