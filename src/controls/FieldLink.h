#pragma once

#include "engine/DataSource.h"

#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>

class QObject;
class QValidator;

namespace controls {

// The width of a text field in characters, as its table declares it; 0 when it has none.
int fieldWidth(engine::DataSet* ds, const QString& field);
// A validator that lets only the characters of a number into a box for a number field; nullptr
// for a field of any other type.
QValidator* numberValidator(engine::DataSet* ds, const QString& field, QObject* parent);

// Writes a field of a data set's current row as a control does: starts editing the row when it
// is not being edited, then writes. A control never writes over a change it did not show: when
// starting the edit finds the row changed by another workstation, the edit is dropped, the
// controls show the stored row and an engine error tells the person; nothing is written. On an
// empty data set nothing is written either (Insert begins a row); returns false then.
bool writeField(engine::DataSet* ds, const QString& field, const QVariant& v);
// The first half of writeField: starts editing the current row unless it is being edited, and
// throws (having dropped the edit) when the row was changed by another workstation meanwhile.
// False on an empty data set.
bool beginRowEdit(engine::DataSet* ds);

// Binding of a control to a field of a data source's current row.
class FieldLink {
public:
    // `control`: the control that owns the link, whose desktop tells of a refused write.
    explicit FieldLink(const QObject* control) : control_(control) {}
    void set(engine::DataSource* source, const QString& field);
    engine::DataSource* source() const { return source_; }
    engine::DataSet* dataSet() const { return source_ ? source_->dataSet() : nullptr; }
    const QString& field() const { return field_; }
    bool active() const;
    // Whether typing may change the field now: a row is shown or being inserted.
    bool writable() const;
    QVariant value() const;
    QString text() const;
    bool write(const QVariant& v) const { return writeField(dataSet(), field_, v); }

    // Writes what the person typed into the control, as `write` does. While it runs, the row's
    // notices (the edit reading the row afresh, the field's change) must not set the control's
    // text: that would move the cursor and drop the undo history of the typing, and the next
    // key would land elsewhere. Controls skip their refresh while `typing()`.
    // A refused write (the row is locked, or was changed on another workstation) calls
    // `showStored` so that no typed text stays on screen that is in no record, then tells the
    // person once: keys that arrive while that message is up are dropped the same way, without
    // another message. Returns what `write` returned; false when refused.
    bool writeTyped(const QVariant& v, const std::function<void()>& showStored);
    // As writeTyped, for a control that writes later (a date written when the box is left):
    // only starts editing the row.
    bool beginTyped(const std::function<void()>& showStored);
    bool typing() const { return typing_; }

private:
    bool typed(const std::function<bool()>& step, const std::function<void()>& showStored);
    const QObject* control_;
    QPointer<engine::DataSource> source_;
    QString field_;
    bool typing_ = false;
    bool refusing_ = false;
};

} // namespace controls
