#include "controls/FieldLink.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/FieldCheckBox.h"
#include "controls/LookupComboBox.h"
#include "controls/DataSetModel.h"
#include "controls/DataGrid.h"

#include "controls/Dialogs.h"
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

// ---- Writing a field ------------------------------------------------------------------------

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
        handleCurrentException(); // a modal box: keys typed meanwhile come back here
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

namespace {
// Where the cursor goes when a box that has the focus shows its field's value again (a refused
// key, the stored row after a change elsewhere): where it stood before the refused typing,
// as a plain box leaves it when it refuses a key.
int cursorAfterRevert(int cursor, int shownLength, int storedLength) {
    return qBound(0, cursor - (shownLength - storedLength), storedLength);
}

template <typename W, typename F> void listen(W* w, engine::DataSource* s, const QString& field, F refresh) {
    QObject::connect(s, &engine::DataSource::changed, w, [refresh] { guarded(refresh); });
    QObject::connect(s, &engine::DataSource::fieldChanged, w, [refresh, field](const QString& name) {
        if (name.compare(field, Qt::CaseInsensitive) == 0) guarded(refresh);
    });
}
} // namespace

// ---- FieldEdit ---------------------------------------------------------------------------------

FieldEdit::FieldEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this,
            [this](const QString& text) { guarded([&] { typed(text); }); });
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (pending_) {
            pending_ = false;
            // The refused text gives way to the field's value.
            guarded([this] { accepted(text()); });
        }
        guarded([this] { refresh(); });
    });
}

void FieldEdit::typed(const QString& text) {
    if (!link_.active() || dataReadOnly_) return;
    const FieldType t = link_.dataSet()->fieldType(link_.field());
    QVariant v = text;
    if (t != FieldType::Text && t != FieldType::Memo) {
        // Half a number is no value: only a whole, valid one is written.
        try {
            v = accepted(text);
        } catch (const engine::Error&) {
            pending_ = true;
            return;
        }
        pending_ = false;
    }
    if (link_.writeTyped(v, [this] {
            pending_ = false;
            refresh();
        }))
        refresh();
}

QVariant FieldEdit::accepted(const QString& text) const {
    const FieldType t = link_.dataSet()->fieldType(link_.field());
    const QVariant v = engine::toStoredValue(text, t);
    if (ranged_) {
        bool ok = false;
        const qint64 n = v.toLongLong(&ok);
        if (v.isNull() || !ok || n < min_ || n > max_)
            throw engine::Error(
                QStringLiteral("'%1' is not a value from %2 to %3.").arg(text.trimmed()).arg(min_).arg(max_));
    }
    return text;
}

void FieldEdit::bind(engine::DataSource* source, const QString& field) {
    link_.set(source, field);
    if (const int w = fieldWidth(source->dataSet(), field); w > 0) setMaxLength(w);
    if (QValidator* v = numberValidator(source->dataSet(), field, this)) setValidator(v);
    listen(this, source, field, [this] { refresh(); });
    refresh();
}

void FieldEdit::setDataReadOnly(bool ro) {
    dataReadOnly_ = ro;
    refresh();
}

void FieldEdit::setRange(qint64 minimum, qint64 maximum) {
    ranged_ = true;
    min_ = minimum;
    max_ = maximum;
}

void FieldEdit::refresh() {
    if (link_.typing()) return;
    // Nothing to type into while no row is shown: Insert begins one.
    setReadOnly(dataReadOnly_ || !link_.writable());
    const QString t = link_.text();
    if (t != text() && !(pending_ && hasFocus())) {
        const int at = cursorAfterRevert(cursorPosition(), int(text().size()), int(t.size()));
        setText(t);
        if (hasFocus()) setCursorPosition(at);
    }
    if (t != shown_) {
        shown_ = t;
        emit changed();
    }
}

// ---- FieldMemo ---------------------------------------------------------------------------------

FieldMemo::FieldMemo(QWidget* parent) : QPlainTextEdit(parent) {
    setTabChangesFocus(true); // Tab goes to the next control, as in every other box
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (updating_ || !link_.active() || isReadOnly()) return;
        QString text = toPlainText();
        if (width_ > 0 && text.size() > width_) {
            // A text field takes at most its width: what was just typed or pasted beyond it is
            // taken back, where the cursor is, as a one-line box refuses it.
            const int excess = int(text.size()) - width_;
            QTextCursor c = textCursor();
            const int end = c.position() >= excess ? c.position() : int(text.size());
            c.setPosition(end - excess);
            c.setPosition(end, QTextCursor::KeepAnchor);
            updating_ = true;
            c.removeSelectedText();
            updating_ = false;
            text = toPlainText();
        }
        guarded([&] {
            if (link_.writeTyped(text, [this] { refresh(); })) refresh();
        });
    });
}

void FieldMemo::bind(engine::DataSource* source, const QString& field) {
    link_.set(source, field);
    width_ = fieldWidth(source->dataSet(), field);
    listen(this, source, field, [this] { refresh(); });
    refresh();
}

void FieldMemo::refresh() {
    if (link_.typing()) return;
    setReadOnly(!link_.writable());
    const QString t = link_.text();
    if (t == toPlainText()) return;
    const int at = cursorAfterRevert(textCursor().position(), int(toPlainText().size()), int(t.size()));
    updating_ = true;
    setPlainText(t);
    updating_ = false;
    if (hasFocus()) {
        QTextCursor c = textCursor();
        c.setPosition(at);
        setTextCursor(c);
    }
}

// ---- FieldCheckBox -----------------------------------------------------------------------------

FieldCheckBox::FieldCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
    connect(this, &QCheckBox::toggled, this, [this](bool on) {
        if (updating_ || !link_.active()) return;
        guarded([&] { link_.writeTyped(on, [this] { refresh(); }); });
        guarded([this] { refresh(); });
    });
}

void FieldCheckBox::bind(engine::DataSource* source, const QString& field) {
    link_.set(source, field);
    listen(this, source, field, [this] { refresh(); });
    refresh();
}

void FieldCheckBox::refresh() {
    if (link_.typing()) return;
    updating_ = true;
    setChecked(link_.value().toBool());
    updating_ = false;
}

// ---- LookupComboBox -----------------------------------------------------------------------

// The entries of a lookup list, shared by every box over the same list source and fields, with
// a map from key to entry. Read again only when the list's rows changed.
class LookupListModel : public QAbstractListModel {
public:
    LookupListModel(engine::DataSource* source, QString keyField, QString listField)
        : QAbstractListModel(source), source_(source), keyField_(std::move(keyField)),
          listField_(std::move(listField)) {
        connect(source, &engine::DataSource::rowsChanged, this, [this] { reload(); });
    }
    static LookupListModel* shared(engine::DataSource* source, const QString& keyField,
                                   const QString& listField) {
        for (auto* m : source->findChildren<LookupListModel*>(QString(), Qt::FindDirectChildrenOnly))
            if (m->keyField_ == keyField && m->listField_ == listField) return m;
        return new LookupListModel(source, keyField, listField);
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        if (parent.isValid()) return 0;
        load();
        return int(texts_.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        load();
        if (!index.isValid() || index.row() >= texts_.size()) return {};
        if (role == Qt::DisplayRole || role == Qt::EditRole) return texts_[index.row()];
        if (role == Qt::UserRole) return keys_[index.row()];
        return {};
    }
    void reload() {
        beginResetModel();
        loaded_ = false;
        endResetModel();
    }
    int rowOf(const QVariant& key) const {
        load();
        if (!key.isValid() || key.isNull()) return -1;
        return rowOfKey_.value(key.toLongLong(), -1);
    }
    // The width of the widest entry as QComboBox measures it (the bounding rectangle of its
    // text), for the font the metrics are of.
    int widestText(const QFontMetrics& fm, const QFont& font) const {
        load();
        const QString fontKey = font.key() + QLatin1Char('@') + QString::number(fm.fontDpi());
        if (const auto it = widest_.constFind(fontKey); it != widest_.cend()) return *it;
        QHash<QString, int>& known = knownWidths(fontKey);
        int widest = 0;
        for (const QString& text : texts_) {
            auto k = known.constFind(text);
            if (k == known.cend()) k = known.insert(text, fm.boundingRect(text).width());
            widest = qMax(widest, *k);
        }
        widest_.insert(fontKey, widest);
        return widest;
    }

private:
    // Text widths by font, kept across reloads and shared by all lists: the entries of a list
    // read again (the users, on every opening of a screen that filters them) are mostly the
    // ones measured before, and shaping the text is what costs.
    static QHash<QString, int>& knownWidths(const QString& fontKey) {
        static QHash<QString, QHash<QString, int>> widths;
        QHash<QString, int>& known = widths[fontKey];
        if (known.size() > 100000) known.clear(); // a bound, not a working size
        return known;
    }
    void load() const {
        if (loaded_) return;
        loaded_ = true;
        texts_.clear();
        keys_.clear();
        rowOfKey_.clear();
        widest_.clear();
        DataSet* ds = source_ ? source_->dataSet() : nullptr;
        if (!ds || !ds->isOpen()) return;
        try {
            const int n = ds->recordCount();
            texts_.reserve(n);
            keys_.reserve(n);
            for (int r = 0; r < n; ++r) {
                const QVariant key = ds->valueAt(r, keyField_);
                texts_ << ds->valueAt(r, listField_).toString();
                keys_ << key;
            }
        } catch (const engine::Error& e) {
            // Asked from inside a view: the box shows what was read, the message comes after.
            texts_.resize(keys_.size());
            QMetaObject::invokeMethod(
                const_cast<LookupListModel*>(this), [m = e.message()] { showError(m); },
                Qt::QueuedConnection);
        }
        const int n = int(keys_.size());
        // Backwards, so that the first entry of a key is the one found.
        for (int r = n - 1; r >= 0; --r)
            if (!keys_[r].isNull()) rowOfKey_.insert(keys_[r].toLongLong(), r);
    }
    QPointer<engine::DataSource> source_;
    QString keyField_, listField_;
    mutable bool loaded_ = false;
    mutable QStringList texts_;
    mutable QVariantList keys_;
    mutable QHash<qint64, int> rowOfKey_;
    mutable QHash<QString, int> widest_; // by font
};

LookupComboBox::LookupComboBox(QWidget* parent) : QComboBox(parent) {
    setFocusPolicy(Qt::StrongFocus); // a wheel turn alone does not give it focus
    connect(this, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        guarded([&] {
            const QVariant key = itemData(index);
            if (link_.source()) {
                if (!link_.writeTyped(key, [this] { refresh(); })) return;
            } else {
                unboundKey_ = key;
            }
            emit closeUp();
        });
        guarded([this] { refresh(); });
    });
}

void LookupComboBox::wheelEvent(QWheelEvent* e) {
    if (hasFocus())
        QComboBox::wheelEvent(e);
    else
        e->ignore(); // the window around it scrolls instead
}

bool LookupComboBox::sizedFromList() const {
    // Only where QComboBox would measure exactly the list's texts and nothing else.
    return list_ && model() == list_ && sizeAdjustPolicy() == QComboBox::AdjustToContentsOnFirstShow &&
           minimumContentsLength() == 0 && placeholderText().isEmpty();
}

QSize LookupComboBox::contentsHint() const {
    // QComboBox's own sum: the widest text (7 x's when empty) over one line, then the style's
    // frame and arrow. The list's entries carry no icons.
    const QFontMetrics fm = fontMetrics();
    QSize sh;
    sh.setWidth(count() == 0 ? 7 * fm.horizontalAdvance(u'x') : list_->widestText(fm, font()));
    sh.setHeight(qMax(qCeil(QFontMetricsF(fm).height()), 14) + 2);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    return style()->sizeFromContents(QStyle::CT_ComboBox, &opt, sh, this);
}

QSize LookupComboBox::sizeHint() const {
    if (!sizedFromList()) return QComboBox::sizeHint();
    if (!hint_.isValid()) hint_ = contentsHint();
    return hint_;
}

QSize LookupComboBox::minimumSizeHint() const {
    if (!sizedFromList()) return QComboBox::minimumSizeHint();
    if (!minimumHint_.isValid()) minimumHint_ = contentsHint();
    return minimumHint_;
}

void LookupComboBox::showEvent(QShowEvent* e) {
    if (!shownOnce_) hint_ = QSize(); // measured again for the first showing, as QComboBox does
    shownOnce_ = true;
    QComboBox::showEvent(e);
}

void LookupComboBox::changeEvent(QEvent* e) {
    if (e->type() == QEvent::StyleChange) hint_ = minimumHint_ = QSize();
    if (e->type() == QEvent::FontChange) hint_ = QSize();
    QComboBox::changeEvent(e);
}

void LookupComboBox::setList(engine::DataSource* listSource, const QString& keyField,
                               const QString& listField) {
    list_ = LookupListModel::shared(listSource, keyField, listField);
    updating_ = true;
    setModel(list_);
    updating_ = false;
    connect(list_, &QAbstractItemModel::modelReset, this, [this] { guarded([this] { refresh(); }); });
    refresh();
}

void LookupComboBox::reloadList() {
    if (list_) list_->reload();
}

void LookupComboBox::bind(engine::DataSource* source, const QString& field) {
    link_.set(source, field);
    listen(this, source, field, [this] { refresh(); });
    refresh();
}

QVariant LookupComboBox::keyValue() const {
    return link_.source() ? link_.value() : unboundKey_;
}

void LookupComboBox::setKeyValue(const QVariant& key) {
    unboundKey_ = key;
    refresh();
}

void LookupComboBox::setUnlistedText(std::function<QString(const QVariant& key)> text) {
    unlistedText_ = std::move(text);
    refresh();
}

void LookupComboBox::refresh() {
    if (link_.typing()) return;
    const QVariant key = keyValue();
    const int index = list_ ? list_->rowOf(key) : -1;
    const bool was = updating_;
    updating_ = true;
    if (currentIndex() != index) setCurrentIndex(index);
    if (unlistedText_) {
        const QString unlisted = index < 0 && key.isValid() && !key.isNull() ? unlistedText_(key) : QString();
        if (unlisted != placeholderText()) {
            setPlaceholderText(unlisted);
            // Emptying the placeholder makes a box without a choice take its first entry.
            if (currentIndex() != index) setCurrentIndex(index);
        }
    }
    updating_ = was;
}

// ---- DataSetModel and DataGrid -----------------------------------------------------------------

DataSetModel::DataSetModel(engine::DataSource* source, QVector<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), source_(source), columns_(std::move(columns)) {}

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
    QString message;
    try {
        throw;
    } catch (const engine::Error& e) {
        message = e.message();
    } catch (const std::exception& e) {
        message = QString::fromLocal8Bit(e.what());
    } catch (...) {
        message = QStringLiteral("An unexpected error occurred.");
    }
    // Not from inside the view's painting: the box runs its own event loop.
    QMetaObject::invokeMethod(
        const_cast<DataSetModel*>(this), [message] { showError(message); }, Qt::QueuedConnection);
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
    guarded([&] {
        if (index.row() != insertRow() && ds->recNo() != index.row()) ds->moveTo(index.row());
        ok = writeField(ds, columns_[index.column()].field, value);
    });
    return ok;
}

namespace {
// In-place editors of text columns take at most the field's width, those of numbers no letters.
class FieldDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        const auto* model = qobject_cast<const DataSetModel*>(index.model());
        if (auto* line = qobject_cast<QLineEdit*>(editor); line && model) {
            const QString field = model->columns().value(index.column()).field;
            const int w = fieldWidth(model->dataSet(), field);
            if (w > 0) line->setMaxLength(w);
            if (QValidator* v = numberValidator(model->dataSet(), field, line)) line->setValidator(v);
        }
        return editor;
    }
};
} // namespace

DataGrid::DataGrid(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setStretchLastSection(true);
    setAlternatingRowColors(false);
    setItemDelegate(new FieldDelegate(this));
    setTabKeyNavigation(false);
    connect(this, &QTableView::doubleClicked, this, [this] { emit rowChosen(); });
}

void DataGrid::bind(engine::DataSource* source, const QVector<GridColumn>& columns, bool readOnly) {
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
    connect(source, &engine::DataSource::stateChanged, this, [this] {
        // Beginning or ending an insert adds or removes the new row's line.
        DataSet* ds = source_ ? source_->dataSet() : nullptr;
        const bool inserting = ds && ds->state() == DataSet::State::Insert;
        if (inserting != (model_->insertRow() >= 0)) {
            model_->reset();
            followCurrent();
        }
        viewport()->update();
    });
    connect(source, &engine::DataSource::fieldChanged, this, [this] { viewport()->update(); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (moving_ || !current.isValid() || !source_ || !source_->dataSet()) return;
                if (current.row() == model_->insertRow()) return;
                guarded([&] {
                    if (model_->insertRow() >= 0 || source_->dataSet()->recNo() != current.row())
                        source_->dataSet()->moveTo(current.row());
                });
                followCurrent();
            });
    followCurrent();
}

QModelIndex DataGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex current = currentIndex();
    const int column = current.isValid() ? current.column() : 0;
    switch (action) {
    case MoveHome:
        return model()->index(0, column);
    case MoveEnd:
        return model()->index(model()->rowCount() - 1, column);
    case MoveNext:
    case MovePrevious:
        return current; // the tab order, not the cells
    default:
        return QTableView::moveCursor(action, modifiers);
    }
}

void DataGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    const bool next = hint == QAbstractItemDelegate::EditNextItem;
    const bool previous = hint == QAbstractItemDelegate::EditPreviousItem;
    QTableView::closeEditor(editor, next || previous ? QAbstractItemDelegate::NoHint : hint);
    if (next || previous) focusNextPrevChild(next);
}

void DataGrid::keyPressEvent(QKeyEvent* e) {
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    // A grid whose rows nobody chooses leaves Enter to the window (its default button).
    if (enter && (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && state() != EditingState &&
        isSignalConnected(QMetaMethod::fromSignal(&DataGrid::rowChosen))) {
        emit rowChosen();
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

void DataGrid::followCurrent() {
    DataSet* ds = source_ ? source_->dataSet() : nullptr;
    if (!ds || !ds->isOpen() || !model_) return;
    const int row = model_->currentLine();
    moving_ = true;
    if (row >= 0 && row < model_->rowCount()) {
        // The column the person is in stays: F2 or typing edits the cell they chose.
        const QModelIndex idx = model_->index(row, currentIndex().isValid() ? currentIndex().column() : 0);
        selectionModel()->setCurrentIndex(idx,
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    } else {
        selectionModel()->clearSelection();
    }
    moving_ = false;
}

} // namespace controls
