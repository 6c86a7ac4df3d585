#include "controls/LookupComboBox.h"

#include "controls/ErrorHandler.h"
#include "controls/FieldListen.h"
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

using detail::cursorAfterRevert;
using detail::listen;
using engine::DataSet;
using engine::FieldType;

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
    // A box that shows the list: where a failed read of it is told.
    void shownIn(QWidget* box) {
        boxes_.removeIf([](const QPointer<QWidget>& b) { return b.isNull(); });
        boxes_ << box;
    }
    QWidget* aBox() const {
        for (const QPointer<QWidget>& b : boxes_)
            if (b) return b;
        return nullptr;
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
            // Asked from inside a view: the box shows what was read, the message comes after,
            // once, on the desktop of a box that shows the list.
            texts_.resize(keys_.size());
            QMetaObject::invokeMethod(
                const_cast<LookupListModel*>(this), [this, m = e.message()] { reportError(aBox(), m); },
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
    QList<QPointer<QWidget>> boxes_;
};

LookupComboBox::LookupComboBox(QWidget* parent) : QComboBox(parent) {
    setFocusPolicy(Qt::StrongFocus); // a wheel turn alone does not give it focus
    connect(this, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
        guarded(this, [&] {
            const QVariant key = itemData(index);
            if (link_.source()) {
                if (!link_.writeTyped(key, [this] { refresh(); })) return;
            } else {
                unboundKey_ = key;
            }
            emit closeUp();
        });
        guarded(this, [this] { refresh(); });
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
    connect(list_, &QAbstractItemModel::modelReset, this, [this] { guarded(this, [this] { refresh(); }); });
    list_->shownIn(this);
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

} // namespace controls
