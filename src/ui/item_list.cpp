#include "ui/item_list.hpp"

#include <QLabel>
#include <QVBoxLayout>

namespace lf::ui {

ItemList::ItemList(app::ProjectStore&, QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("ItemList"));
    auto* layout = new QVBoxLayout(this);
    auto* placeholder = new QLabel(QStringLiteral("The list of the folder’s pictures, movies and sounds"), this);
    placeholder->setWordWrap(true);
    placeholder->setAlignment(Qt::AlignCenter);
    layout->addWidget(placeholder);
}

}  // namespace lf::ui
