#include "planning/DeletedDialog.h"

#include "controls/Desktop.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "data/ChangeHistory.h"
#include "data/DataModule.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace planning {

DeletedDialog::DeletedDialog(data::DataModule& dm, Kind kind, controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), dm_(dm), kind_(kind) {
    setWindowTitle(kind == Kind::Goals ? QStringLiteral("Deleted Goals")
                                       : QStringLiteral("Deleted Strategies"));
    auto* lay = new QVBoxLayout(this);
    deletedList = new QTreeWidget(this);
    deletedList->setObjectName(QStringLiteral("DeletedList"));
    deletedList->setRootIsDecorated(false);
    deletedList->setAllColumnsShowFocus(true);
    deletedList->setHeaderLabels({kind == Kind::Goals ? QStringLiteral("Goal") : QStringLiteral("Strategy"),
                                  QStringLiteral("Deleted By"), QStringLiteral("Deleted")});
    deletedList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    deletedList->setMinimumSize(620, 280);
    lay->addWidget(deletedList);
    restoreButton = controls::button(QStringLiteral("Restore"), this);
    closeButton = controls::button(QStringLiteral("Close"), this);
    lay->addLayout(controls::buttonBar(helpButton, {restoreButton, closeButton}));
    connect(restoreButton, &QPushButton::clicked, this,
            controls::handler(this, [this] { restoreClicked(); }));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(deletedList, &QTreeWidget::currentItemChanged, this,
            [this] { restoreButton->setEnabled(deletedList->currentItem() != nullptr); });
    reload();
}

void DeletedDialog::reload() {
    data::ChangeHistory history(dm_);
    rows_ = kind_ == Kind::Goals ? history.deletedGoals() : history.deletedStrategies();
    deletedList->clear();
    for (const engine::Version& v : rows_)
        new QTreeWidgetItem(deletedList,
                            {data::ChangeHistory::describe(v), history.userName(v.changedBy), v.changedAt});
    for (int c = 1; c < 3; ++c)
        deletedList->resizeColumnToContents(c);
    if (!rows_.empty()) deletedList->setCurrentItem(deletedList->topLevelItem(0));
    restoreButton->setEnabled(!rows_.empty());
}

void DeletedDialog::restoreClicked() {
    const int row = deletedList->indexOfTopLevelItem(deletedList->currentItem());
    if (row < 0 || row >= int(rows_.size())) return;
    data::ChangeHistory history(dm_);
    const QString told = kind_ == Kind::Goals ? history.restoreDeletedGoal(rows_[size_t(row)])
                                              : history.restoreDeletedStrategy(rows_[size_t(row)]);
    reload();
    desktop().messageBox(told, controls::Icon::Information, controls::Buttons::Ok);
}

} // namespace planning
