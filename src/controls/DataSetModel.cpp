#include "controls/DataSetModel.h"

#include "controls/ErrorHandler.h"
#include "controls/FieldLink.h"
#include "engine/DataSet.h"
#include "engine/Error.h"
#include "engine/Table.h"

#include <QAbstractListModel>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QPointer>
#include <QRegularExpressionValidator>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>
#include <QWheelEvent>
#include <QtMath>

namespace controls {

using engine::DataSet;
using engine::FieldType;

DataSetModel::DataSetModel(engine::DataSource* source, QVector<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), source_(source), columns_(std::move(columns)) {
    // Not from inside the view's painting: the box runs its own event loop.
    connect(
        this, &DataSetModel::readFailed, this, [this](const QString& message) { reportError(this, message); },
        Qt::QueuedConnection);
}

void DataSetModel::reset() {
    beginResetModel();
    rows_ = -1;
    failed_ = false;
    DataSet* ds = dataSet();
    inserting_ = ds && ds->state() == DataSet::State::Insert;
    endResetModel();
}

void DataSetModel::report() const {
    if (failed_) return;
    failed_ = true;
    emit const_cast<DataSetModel*>(this)->readFailed(currentExceptionMessage());
}

int DataSetModel::insertRow() const {
    if (!inserting_) return -1;
    return rowCount() - 1;
}

int DataSetModel::currentLine() const {
    DataSet* ds = dataSet();
    if (!ds || !ds->isOpen()) return -1;
    if (inserting_) return insertRow();
    try {
        return ds->recNo();
    } catch (...) {
        report();
        return -1;
    }
}

int DataSetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    if (rows_ < 0) {
        DataSet* ds = dataSet();
        rows_ = 0;
        if (ds && ds->isOpen()) {
            try {
                // A row being inserted is a line of its own after the stored ones.
                rows_ = ds->recordCount() + (inserting_ ? 1 : 0);
            } catch (...) {
                report();
            }
        }
    }
    return rows_;
}

int DataSetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_.size();
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const {
    DataSet* ds = dataSet();
    if (!ds || !ds->isOpen() || !index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    try {
        const QString& f = columns_[index.column()].field;
        const bool pendingLine = inserting_
                                     ? index.row() == insertRow()
                                     : ds->state() == DataSet::State::Edit && index.row() == ds->recNo();
        if (pendingLine) return engine::displayText(ds->fieldValue(f), ds->fieldType(f));
        return engine::displayText(ds->valueAt(index.row(), f), ds->fieldType(f));
    } catch (...) {
        report();
        return {};
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation o, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (o == Qt::Horizontal && section < columns_.size()) return columns_[section].title;
    return {};
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    DataSet* ds = dataSet();
    if (editable_ && ds && index.isValid()) {
        try {
            if (ds->fieldType(columns_[index.column()].field) != FieldType::AutoInc) f |= Qt::ItemIsEditable;
        } catch (...) {
            report();
        }
    }
    return f;
}

bool DataSetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    DataSet* ds = dataSet();
    if (!ds || role != Qt::EditRole || !editable_) return false;
    bool ok = false;
    guarded(this, [&] {
        if (index.row() != insertRow() && ds->recNo() != index.row()) ds->moveTo(index.row());
        ok = writeField(ds, columns_[index.column()].field, value);
    });
    return ok;
}

} // namespace controls
