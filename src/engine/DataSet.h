#pragma once

#include "engine/Schema.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVariant>

namespace engine {

class DataSet;

// A field of a data set's current row, by name. Reads come from the row being edited while an
// edit or insert is pending; writes are allowed only then.
class Field {
public:
    Field(DataSet* ds, QString name) : ds_(ds), name_(std::move(name)) {}
    const QString& name() const { return name_; }

    QVariant value() const;
    bool isNull() const;
    qint64 asInteger() const; // 0 when null
    int asInt() const { return int(asInteger()); }
    double asFloat() const;
    QString asString() const; // dates in the engine's date format
    bool asBoolean() const;
    QDate asDate() const;
    QDateTime asDateTime() const;
    FieldType type() const;

    void setValue(const QVariant& v);
    void clear() { setValue(QVariant()); }

private:
    DataSet* ds_;
    QString name_;
};

// Converts a stored value to the field type's natural form (booleans, dates, numbers).
QVariant toFieldValue(const QVariant& raw, FieldType type);
// Converts a value given by the program or a control to what is stored.
QVariant toStoredValue(const QVariant& v, FieldType type);
QString displayText(const QVariant& value, FieldType type);

// What tables and queries share: a current row, navigation, fields by name, and the
// notifications that data sources pass on to the controls.
class DataSet : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    using QObject::QObject;
    ~DataSet() override = default;

    virtual bool isOpen() const = 0;
    virtual State state() const { return isOpen() ? State::Browse : State::Inactive; }
    bool isEditing() const { return state() == State::Edit || state() == State::Insert; }

    virtual int recordCount() = 0;
    virtual int recNo() = 0; // position of the current row, 0-based; -1 when there is none
    virtual void moveTo(int row) = 0;
    void first() { moveTo(0); }
    void last() { moveTo(recordCount() - 1); }
    void next();
    void prior();
    virtual bool eof() const = 0;
    virtual bool bof() const = 0;
    bool isEmpty() { return recordCount() == 0 && state() != State::Insert; }

    Field field(const QString& name) { return Field(this, name); }
    Field operator[](const QString& name) { return field(name); }
    virtual bool hasField(const QString& name) const = 0;
    virtual FieldType fieldType(const QString& name) const = 0;
    virtual QStringList fieldNames() const = 0;

    // Value of a field of the current row (the pending copy while editing).
    virtual QVariant fieldValue(const QString& name) = 0;
    virtual void setFieldValue(const QString& name, const QVariant& value);
    // Value of a field of the row at a position, for grids; does not move the current row.
    virtual QVariant valueAt(int row, const QString& name) = 0;

    // Editing; read-only data sets refuse with the engine's error.
    virtual void edit();
    virtual void insert();
    virtual void append() { insert(); }
    virtual void post() {}
    virtual void cancel() {}
    virtual void remove();
    virtual void refresh() {}
    virtual bool readOnly() const { return true; }

protected:
    // Where a move to a row of n rows lands: clamped to the rows, with bof before the first and
    // eof past the last; -1 when there are none.
    struct Position {
        int pos;
        bool bof;
        bool eof;
    };
    static Position clamp(int row, int n);

signals:
    void rowsChanged();    // the rows presented were re-read or changed
    void currentChanged(); // another row became current (or the current row's values changed)
    void stateChanged();   // browse, edit, insert or closed
    void fieldChanged(const QString& name); // a field of the pending row was written
};

} // namespace engine
