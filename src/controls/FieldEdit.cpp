#include "controls/FieldEdit.h"

#include "controls/Dialogs.h"
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

FieldEdit::FieldEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textEdited, this,
            [this](const QString& text) { guarded(this, [&] { typed(text); }); });
    connect(this, &QLineEdit::editingFinished, this, [this] {
        if (pending_) {
            pending_ = false;
            // The refused text gives way to the field's value.
            guarded(this, [this] { accepted(text()); });
        }
        guarded(this, [this] { refresh(); });
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

} // namespace controls
