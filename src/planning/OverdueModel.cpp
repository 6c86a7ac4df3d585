#include "planning/OverdueModel.h"

#include <algorithm>

namespace {
// Compares items by a column; on the items themselves, since comparing variants is too slow for
// a list of many thousands.
bool lessByColumn(const OverdueItem& a, const OverdueItem& b, int column) {
    switch (column) {
    case 0:
        return QString::compare(a.Owner, b.Owner, Qt::CaseInsensitive) < 0;
    case 1:
        return QString::compare(a.Goal, b.Goal, Qt::CaseInsensitive) < 0;
    case 2:
        return a.StrategyNumber < b.StrategyNumber;
    case 3:
        return (a.IsMeasurement ? a.MeasurementNumber : 0) < (b.IsMeasurement ? b.MeasurementNumber : 0);
    case 4:
        return a.Due < b.Due;
    default:
        return a.DaysOverdue < b.DaysOverdue;
    }
}
} // namespace

void OverdueModel::setItems(QVector<OverdueItem> items) {
    beginResetModel();
    items_ = std::move(items);
    endResetModel();
}

void OverdueModel::sort(int column, Qt::SortOrder order) {
    // The items are sorted in place: a sorting proxy over a list of a few hundred thousand
    // items costs more than reading them.
    beginResetModel();
    if (order == Qt::AscendingOrder)
        std::stable_sort(items_.begin(), items_.end(), [column](const OverdueItem& a, const OverdueItem& b) {
            return lessByColumn(a, b, column);
        });
    else
        std::stable_sort(items_.begin(), items_.end(), [column](const OverdueItem& a, const OverdueItem& b) {
            return lessByColumn(b, a, column);
        });
    endResetModel();
}

QVariant OverdueModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= items_.size()) return {};
    const OverdueItem& it = items_[index.row()];
    if (role == Qt::TextAlignmentRole)
        return index.column() >= 2 ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    if (role != Qt::DisplayRole && role != SortRole) return {};
    const bool sort = role == SortRole;
    switch (index.column()) {
    case 0:
        return it.Owner;
    case 1:
        return it.Goal;
    case 2:
        return it.StrategyNumber;
    case 3:
        if (!it.IsMeasurement) return sort ? QVariant(0) : QVariant();
        return it.MeasurementNumber;
    case 4:
        return sort ? QVariant(it.Due) : QVariant(it.Due.toString(QStringLiteral("MM/dd/yyyy")));
    case 5:
        return it.DaysOverdue;
    }
    return {};
}

QVariant OverdueModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 6)
        return QString::fromLatin1(Titles[section]);
    return QAbstractTableModel::headerData(section, o, role);
}
