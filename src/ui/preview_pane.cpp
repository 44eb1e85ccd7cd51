#include "ui/preview_pane.hpp"

#include <QLabel>
#include <QVBoxLayout>

namespace lf::ui {

PreviewPane::PreviewPane(app::ProjectStore&, QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("PreviewPane"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("The preview of the selected item"), this), 0, Qt::AlignCenter);
}

}  // namespace lf::ui
