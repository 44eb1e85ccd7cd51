#include "ui/preview_pane.hpp"

#include <QLabel>
#include <QVBoxLayout>

namespace lf::ui {

PreviewPane::PreviewPane(app::ProjectStore&, QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("PreviewPane"));
    auto* layout = new QVBoxLayout(this);
    auto* placeholder = new QLabel(QStringLiteral("The preview of the selected item"), this);
    placeholder->setWordWrap(true);
    placeholder->setAlignment(Qt::AlignCenter);
    layout->addWidget(placeholder);
}

}  // namespace lf::ui
