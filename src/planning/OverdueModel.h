#pragma once

#include "data/Progress.h"

#include <QAbstractTableModel>

namespace planning {

// The overdue strategies and measurement items as rows of a sortable grid.
class OverdueModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setItems(data::OverdueList list);
    const data::OverdueItem& item(int row) const { return list_.items[row]; }
    const QString& owner(int row) const { return list_.owner(item(row)); }
    const QString& goal(int row) const { return list_.goal(item(row)); }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(list_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 6; }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    void sort(int column, Qt::SortOrder order) override;
    static constexpr int sortRole = Qt::UserRole;
    static constexpr const char* titles[] = {"Owner",           "Goal",        "Number", "Measurement",
                                             "Completion Date", "Days Overdue"};

private:
    data::OverdueList list_;
};

} // namespace planning
