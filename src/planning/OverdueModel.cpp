#include "planning/OverdueModel.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace planning {

void OverdueModel::setItems(data::OverdueList list) {
    beginResetModel();
    list_ = std::move(list);
    endResetModel();
}

void OverdueModel::sort(int column, Qt::SortOrder order) {
    // The items are sorted in place: a sorting proxy over a list of a few hundred thousand
    // items costs more than reading them. They are compared on themselves, since comparing
    // variants is too slow for a list of many thousands; a name is looked up once per item, not
    // at every comparison.
    const QVector<data::OverdueItem>& items = list_.items;
    std::vector<const QString*> names;
    if (column == 0 || column == 1) {
        names.reserve(size_t(items.size()));
        for (const data::OverdueItem& it : items)
            names.push_back(column == 0 ? &list_.owner(it) : &list_.goal(it));
    }
    const auto lessByColumn = [&](int a, int b) {
        const data::OverdueItem& x = items[a];
        const data::OverdueItem& y = items[b];
        switch (column) {
        case 0:
        case 1:
            return QString::compare(*names[size_t(a)], *names[size_t(b)], Qt::CaseInsensitive) < 0;
        case 2:
            return x.strategyNumber < y.strategyNumber;
        case 3:
            return (x.isMeasurement ? x.measurementNumber : 0) < (y.isMeasurement ? y.measurementNumber : 0);
        case 4:
            return x.due < y.due;
        default:
            return x.daysOverdue < y.daysOverdue;
        }
    };
    const auto less = [&](int a, int b) {
        return order == Qt::AscendingOrder ? lessByColumn(a, b) : lessByColumn(b, a);
    };
    std::vector<int> rows(size_t(items.size()));
    std::iota(rows.begin(), rows.end(), 0);
    beginResetModel();
    // The list comes most overdue first, the order the window opens in: a sort that would leave
    // every item where it is costs one look at each instead.
    if (!std::is_sorted(rows.begin(), rows.end(), less)) {
        std::stable_sort(rows.begin(), rows.end(), less);
        QVector<data::OverdueItem> sorted;
        sorted.reserve(items.size());
        for (const int r : rows)
            sorted.push_back(items[r]);
        list_.items = std::move(sorted);
    }
    endResetModel();
}

QVariant OverdueModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.size()) return {};
    const data::OverdueItem& it = list_[index.row()];
    if (role == Qt::TextAlignmentRole)
        return index.column() >= 2 ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    if (role != Qt::DisplayRole && role != sortRole) return {};
    const bool sort = role == sortRole;
    switch (index.column()) {
    case 0:
        return list_.owner(it);
    case 1:
        return list_.goal(it);
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
