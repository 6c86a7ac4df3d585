#include "controls/FieldLink.h"

#include "controls/ErrorHandler.h"
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

int fieldWidth(DataSet* ds, const QString& field) {
    const auto* t = qobject_cast<const engine::Table*>(ds);
    if (!t) return 0;
    const int i = t->def().columnIndex(field);
    if (i < 0) return 0;
    const engine::ColumnDef& c = t->def().columns[size_t(i)];
    return c.type == FieldType::Text ? c.width : 0;
}

QValidator* numberValidator(DataSet* ds, const QString& field, QObject* parent) {
    const auto* t = qobject_cast<const engine::Table*>(ds);
    const int i = t ? t->def().columnIndex(field) : -1;
    if (i < 0) return nullptr;
    switch (t->def().columns[size_t(i)].type) {
    case FieldType::AutoInc:
    case FieldType::Integer:
        return new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*")), parent);
    case FieldType::Number:
        return new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*[.]?[0-9]*")),
                                               parent);
    default:
        return nullptr;
    }
}

namespace {
// The stored values of the current row, as the controls show them.
QVariantList rowValues(DataSet* ds) {
    QStringList names;
    if (const auto* t = qobject_cast<const engine::Table*>(ds))
        for (const engine::ColumnDef& c : t->def().columns)
            names << c.name;
    else
        names = ds->fieldNames();
    QVariantList values;
    for (const QString& n : names)
        values << ds->fieldValue(n);
    return values;
}
} // namespace

bool beginRowEdit(DataSet* ds) {
    if (!ds || !ds->isOpen()) return false;
    if (ds->isEditing()) return true;
    if (ds->isEmpty()) return false;
    const QVariantList shown = rowValues(ds);
    ds->edit();
    if (ds->state() == DataSet::State::Edit && rowValues(ds) != shown) {
        ds->cancel();
        throw engine::Error(QStringLiteral("The record was changed by another user. Its stored values "
                                           "are shown now; make your change again."));
    }
    return true;
}

bool writeField(DataSet* ds, const QString& field, const QVariant& v) {
    if (!beginRowEdit(ds)) return false;
    ds->setFieldValue(field, v);
    return true;
}

// ---- FieldLink ------------------------------------------------------------------------------

void FieldLink::set(engine::DataSource* source, const QString& field) {
    source_ = source;
    field_ = field;
}

bool FieldLink::active() const {
    DataSet* ds = dataSet();
    return ds && ds->isOpen() && !field_.isEmpty();
}

bool FieldLink::writable() const {
    if (!active()) return false;
    DataSet* ds = dataSet();
    // Asked on every refresh: the position answers without counting the rows of a large table.
    return ds->isEditing() || ds->recNo() >= 0;
}

QVariant FieldLink::value() const {
    if (!active()) return {};
    return dataSet()->fieldValue(field_);
}

bool FieldLink::typed(const std::function<bool()>& step, const std::function<void()>& showStored) {
    if (refusing_) {
        showStored();
        return false;
    }
    typing_ = true;
    try {
        const bool written = step();
        typing_ = false;
        return written;
    } catch (...) {
        typing_ = false;
        refusing_ = true;
        showStored();
        handleCurrentException(control_); // a modal box: keys typed meanwhile come back here
        refusing_ = false;
        return false;
    }
}

bool FieldLink::writeTyped(const QVariant& v, const std::function<void()>& showStored) {
    return typed([&] { return write(v); }, showStored);
}

bool FieldLink::beginTyped(const std::function<void()>& showStored) {
    return typed([&] { return beginRowEdit(dataSet()); }, showStored);
}

QString FieldLink::text() const {
    if (!active()) return {};
    return engine::displayText(value(), dataSet()->fieldType(field_));
}

} // namespace controls
