#include "controls/FieldCheckBox.h"

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

FieldCheckBox::FieldCheckBox(const QString& caption, QWidget* parent) : QCheckBox(caption, parent) {
    connect(this, &QCheckBox::toggled, this, [this](bool on) {
        if (updating_ || !link_.active()) return;
        guarded(this, [&] { link_.writeTyped(on, [this] { refresh(); }); });
        guarded(this, [this] { refresh(); });
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

} // namespace controls
