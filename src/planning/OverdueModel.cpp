#include "planning/OverdueModel.h"

#include <algorithm>

namespace planning {

namespace {
// Compares items by a column; on the items themselves, since comparing variants is too slow for
// a list of many thousands.
bool lessByColumn(const data::OverdueItem& a, const data::OverdueItem& b, int column) {
    switch (column) {
    case 0:
        return QString::compare(a.owner, b.owner, Qt::CaseInsensitive) < 0;
    case 1:
        return QString::compare(a.goal, b.goal, Qt::CaseInsensitive) < 0;
    case 2:
        return a.strategyNumber < b.strategyNumber;
    case 3:
        return (a.isMeasurement ? a.measurementNumber : 0) < (b.isMeasurement ? b.measurementNumber : 0);
    case 4:
        return a.due < b.due;
    default:
        return a.daysOverdue < b.daysOverdue;
    }
}
} // namespace

void OverdueModel::setItems(QVector<data::OverdueItem> items) {
    beginResetModel();
    items_ = std::move(items);
    endResetModel();
}

void OverdueModel::sort(int column, Qt::SortOrder order) {
    // The items are sorted in place: a sorting proxy over a list of a few hundred thousand
    // items costs more than reading them.
    const auto less = [column, order](const data::OverdueItem& a, const data::OverdueItem& b) {
        return order == Qt::AscendingOrder ? lessByColumn(a, b, column) : lessByColumn(b, a, column);
    };
    beginResetModel();
    // The list comes most overdue first, the order the window opens in: a sort that would leave
    // every item where it is costs one look at each instead.
    if (!std::is_sorted(items_.begin(), items_.end(), less))
        std::stable_sort(items_.begin(), items_.end(), less);
    endResetModel();
}

QVariant OverdueModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= items_.size()) return {};
    const data::OverdueItem& it = items_[index.row()];
    if (role == Qt::TextAlignmentRole)
        return index.column() >= 2 ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    if (role != Qt::DisplayRole && role != sortRole) return {};
    const bool sort = role == sortRole;
    switch (index.column()) {
    case 0:
        return it.owner;
    case 1:
        return it.goal;
    case 2:
        return it.strategyNumber;
    case 3:
        if (!it.isMeasurement) return sort ? QVariant(0) : QVariant();
        return it.measurementNumber;
    case 4:
        return sort ? QVariant(it.due) : QVariant(it.due.toString(QStringLiteral("MM/dd/yyyy")));
    case 5:
        return it.daysOverdue;
    }
    return {};
}

QVariant OverdueModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 6)
        return QString::fromLatin1(titles[section]);
    return QAbstractTableModel::headerData(section, o, role);
}

} // namespace planning
