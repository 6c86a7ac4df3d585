#include "controls/FieldMemo.h"

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
        guarded(this, [&] {
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

} // namespace controls
