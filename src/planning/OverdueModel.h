#pragma once

#include "data/Progress.h"

#include <QAbstractTableModel>

namespace planning {

// The overdue strategies and measurement items as rows of a sortable grid.
class OverdueModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setItems(QVector<data::OverdueItem> items);
    const data::OverdueItem& item(int row) const { return items_[row]; }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(items_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 6; }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    void sort(int column, Qt::SortOrder order) override;
    static constexpr int sortRole = Qt::UserRole;
    static constexpr const char* titles[] = {"Owner",           "Goal",        "Number", "Measurement",
                                             "Completion Date", "Days Overdue"};

private:
    QVector<data::OverdueItem> items_;
};

} // namespace planning
