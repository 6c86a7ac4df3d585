#include "controls/DataControls.h"

#include "controls/ErrorHandler.h"
#include "engine/DataSet.h"
#include "engine/Error.h"

#include <QHeaderView>
#include <QItemSelectionModel>

namespace controls {

using engine::DataSet;
using engine::FieldType;

// ---- FieldLink ------------------------------------------------------------------------------

void FieldLink::set(engine::DataSource* source, const QString& field) {
    source_ = source;
    field_ = field;
}

bool FieldLink::active() const {
    DataSet* ds = dataSet();
    return ds && ds->isOpen() && !field_.isEmpty();
}

QVariant FieldLink::value() const {
    if (!active()) return {};
    return dataSet()->fieldValue(field_);
}

QString FieldLink::text() const {
    if (!active()) return {};
    return engine::displayText(value(), dataSet()->fieldType(field_));
}

void FieldLink::write(const QVariant& v) const {
    DataSet* ds = dataSet();
    if (!ds) return;
    if (!ds->isEditing()) ds->edit();
    ds->setFieldValue(field_, v);
}

namespace {
template <typename W, typename F> void listen(W* w, engine::DataSource* s, const QString& field, F refresh) {
    QObject::connect(s, &engine::DataSource::changed, w, [refresh] { guarded(refresh); });
    QObject::connect(s, &engine::DataSource::fieldChanged, w, [refresh, field](const QString& name) {
        if (name.compare(field, Qt::CaseInsensitive) == 0) guarded(refresh);
    });
}
} // namespace

// ---- DBEdit ---------------------------------------------------------------------------------

DBEdit::DBEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this, handler([this](const QString& text) {
                if (!link_.active() || dataReadOnly_) return;
                const FieldType t = link_.dataSet()->fieldType(link_.field());
                if (t != FieldType::Text && t != FieldType::Memo) {
                    // A number or date is written once it reads as one; until then typing only
                    // starts editing, and leaving the box writes (or refuses) what is there.
                    try {
                        engine::toStoredValue(text, t);
                    } catch (const engine::Error&) {
                        if (!link_.dataSet()->isEditing()) link_.dataSet()->edit();
                        deferred_ = true;
                        return;
                    }
                }
                deferred_ = false;
                link_.write(text);
            }));
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (deferred_) {
            deferred_ = false;
            guarded([this] { link_.write(text()); });
        }
        refresh();
    });
}

void DBEdit::bind(engine::DataSource* source, const QString& field) {
    link_.set(source, field);
    listen(this, source, field, [this] { refresh(); });
    refresh();
}

void DBEdit::setDataReadOnly(bool ro) {
    dataReadOnly_ = ro;
    setReadOnly(ro);
}

void DBEdit::refresh() {
    const QString t = link_.text();
    if (t != text() && !(deferred_ && hasFocus())) setText(t);
    if (t != shown_) {
        shown_ = t;
        emit changed();
    }
}

// ---- DBMemo ---------------------------------------------------------------------------------

DBMemo::DBMemo(QWidget* parent) : QPlainTextEdit(parent) {
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (updating_ || !link_.active() || isReadOnly()) return;
        guarded([this] { link_.write(toPlainText()); });
    });
}

void DBMemo::bind(engine::DataSource* source, const QString& field) {
    link_.set(source, field);
    listen(this, source, field, [this] { refresh(); });
    refresh();
}

void DBMemo::refresh() {
    const QString t = link_.text();
    if (t == toPlainText()) return;
    updating_ = true;
    setPlainText(t);
    updating_ = false;
}

// ---- DBCheckBox -----------------------------------------------------------------------------

DBCheckBox::DBCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
    connect(this, &QCheckBox::toggled, this, [this](bool on) {
        if (updating_ || !link_.active()) return;
        guarded([&] { link_.write(on); });
        refresh();
    });
}

void DBCheckBox::bind(engine::DataSource* source, const QString& field) {
    link_.set(source, field);
    listen(this, source, field, [this] { refresh(); });
    refresh();
}

void DBCheckBox::refresh() {
    updating_ = true;
    setChecked(link_.value().toBool());
    updating_ = false;
}

// ---- DBLookupComboBox -----------------------------------------------------------------------

DBLookupComboBox::DBLookupComboBox(QWidget* parent) : QComboBox(parent) {
    connect(this, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        guarded([&] {
            const QVariant key = itemData(index);
            if (link_.source())
                link_.write(key);
            else
                unboundKey_ = key;
            emit closeUp();
        });
        refresh();
    });
}

void DBLookupComboBox::setList(engine::DataSource* listSource, const QString& keyField,
                               const QString& listField) {
    list_ = listSource;
    keyField_ = keyField;
    listField_ = listField;
    connect(listSource, &engine::DataSource::rowsChanged, this,
            [this] { guarded([this] { reloadList(); }); });
    reloadList();
}

void DBLookupComboBox::reloadList() {
    updating_ = true;
    clear();
    DataSet* ds = list_ ? list_->dataSet() : nullptr;
    if (ds && ds->isOpen()) {
        const int n = ds->recordCount();
        for (int r = 0; r < n; ++r)
            addItem(ds->valueAt(r, listField_).toString(), ds->valueAt(r, keyField_));
    }
    updating_ = false;
    refresh();
}

void DBLookupComboBox::bind(engine::DataSource* source, const QString& field) {
    link_.set(source, field);
    listen(this, source, field, [this] { refresh(); });
    refresh();
}

QVariant DBLookupComboBox::keyValue() const {
    return link_.source() ? link_.value() : unboundKey_;
}

void DBLookupComboBox::setKeyValue(const QVariant& key) {
    unboundKey_ = key;
    refresh();
}

void DBLookupComboBox::refresh() {
    const QVariant key = keyValue();
    int index = -1;
    if (key.isValid() && !key.isNull())
        for (int i = 0; i < count(); ++i)
            if (itemData(i).toLongLong() == key.toLongLong()) {
                index = i;
                break;
            }
    const bool was = updating_;
    updating_ = true;
    setCurrentIndex(index);
    updating_ = was;
}

// ---- DataSetModel and DBGrid -----------------------------------------------------------------

DataSetModel::DataSetModel(engine::DataSource* source, QVector<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), source_(source), columns_(std::move(columns)) {}

void DataSetModel::reset() {
    beginResetModel();
    rows_ = -1;
    endResetModel();
}

int DataSetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    if (rows_ < 0) {
        DataSet* ds = source_ ? source_->dataSet() : nullptr;
        rows_ = 0;
        if (ds && ds->isOpen()) {
            try {
                rows_ = ds->recordCount();
            } catch (...) {
                rows_ = 0;
            }
        }
    }
    return rows_;
}

int DataSetModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_.size();
}

QVariant DataSetModel::data(const QModelIndex& index, int role) const {
    DataSet* ds = source_ ? source_->dataSet() : nullptr;
    if (!ds || !ds->isOpen() || !index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    try {
        const QString& f = columns_[index.column()].field;
        if (ds->isEditing() && index.row() == ds->recNo())
            return engine::displayText(ds->fieldValue(f), ds->fieldType(f));
        return engine::displayText(ds->valueAt(index.row(), f), ds->fieldType(f));
    } catch (...) {
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
    DataSet* ds = source_ ? source_->dataSet() : nullptr;
    if (editable_ && ds && index.isValid()) {
        try {
            if (ds->fieldType(columns_[index.column()].field) != FieldType::AutoInc) f |= Qt::ItemIsEditable;
        } catch (...) {
        }
    }
    return f;
}

bool DataSetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    DataSet* ds = source_ ? source_->dataSet() : nullptr;
    if (!ds || role != Qt::EditRole || !editable_) return false;
    bool ok = false;
    guarded([&] {
        if (ds->recNo() != index.row()) ds->moveTo(index.row());
        if (!ds->isEditing()) ds->edit();
        ds->setFieldValue(columns_[index.column()].field, value);
        ok = true;
    });
    return ok;
}

DBGrid::DBGrid(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setStretchLastSection(true);
    setAlternatingRowColors(false);
    connect(this, &QTableView::doubleClicked, this, [this] { emit rowDoubleClicked(); });
}

void DBGrid::bind(engine::DataSource* source, const QVector<GridColumn>& columns, bool readOnly) {
    source_ = source;
    model_ = new DataSetModel(source, columns, this);
    model_->setEditable(!readOnly);
    setModel(model_);
    setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                             : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                   QAbstractItemView::AnyKeyPressed);
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].width > 0) setColumnWidth(i, fontMetrics().averageCharWidth() * columns[i].width);
    connect(source, &engine::DataSource::rowsChanged, this, [this] {
        model_->reset();
        followCurrent();
    });
    connect(source, &engine::DataSource::currentChanged, this, [this] {
        viewport()->update();
        followCurrent();
    });
    connect(source, &engine::DataSource::stateChanged, this, [this] { viewport()->update(); });
    connect(source, &engine::DataSource::fieldChanged, this, [this] { viewport()->update(); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (moving_ || !current.isValid() || !source_ || !source_->dataSet()) return;
                guarded([&] {
                    if (source_->dataSet()->recNo() != current.row())
                        source_->dataSet()->moveTo(current.row());
                });
                followCurrent();
            });
    followCurrent();
}

void DBGrid::followCurrent() {
    DataSet* ds = source_ ? source_->dataSet() : nullptr;
    if (!ds || !ds->isOpen() || !model_) return;
    const int row = ds->recNo();
    moving_ = true;
    if (row >= 0 && row < model_->rowCount()) {
        const QModelIndex idx = model_->index(row, 0);
        selectionModel()->setCurrentIndex(idx,
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    } else {
        selectionModel()->clearSelection();
    }
    moving_ = false;
}

} // namespace controls
