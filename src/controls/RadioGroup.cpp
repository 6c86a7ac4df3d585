#include "controls/RadioGroup.h"

#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace controls {

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
    // The layout and the buttons are owned by the box, which the analyzer cannot see.
    // NOLINTBEGIN(clang-analyzer-cplusplus.NewDeleteLeaks)
    auto* lay = new QVBoxLayout(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        group_->addButton(b, i);
        lay->addWidget(b);
    }
    connect(group_, &QButtonGroup::idClicked, this, &RadioGroup::clicked);
    // NOLINTEND(clang-analyzer-cplusplus.NewDeleteLeaks)
}

int RadioGroup::itemIndex() const {
    return group_->checkedId();
}

void RadioGroup::setItemIndex(int index) {
    if (QAbstractButton* b = group_->button(index)) b->setChecked(true);
}

} // namespace controls
