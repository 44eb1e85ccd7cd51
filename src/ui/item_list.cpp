#include "ui/item_list.hpp"

#include <QLabel>
#include <QVBoxLayout>

namespace lf::ui {

ItemList::ItemList(app::ProjectStore&, QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("ItemList"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("The list of the folder’s pictures, movies and sounds"), this), 0, Qt::AlignCenter);
}

}  // namespace lf::ui
