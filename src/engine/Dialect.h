#pragma once

#include "engine/Schema.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace engine {

// How one store spells the neutral pieces that statements are built from: the names of tables
// and columns, the places of bound values, lists of numbers, truth values, the order of a column
// and what a table object selects. The system's texts (SqlText) and the engine's own statements
// are rendered through it, so that no store's statement is ever rewritten into another's.
class Dialect {
public:
    virtual ~Dialect() = default;

    // A table and a column as statements of this store name them.
    virtual QString table(const TableDef& t) const = 0;
    virtual QString column(const QString& name) const = 0;
    // The column that identifies a row for the table objects (the key the store assigns).
    virtual QString rowKey(const TableDef& t) const = 0;
    // A column as a table object reads it: for a date, the text the engine keeps, made by the
    // store (reading a store's own date values costs more than the rest of a row).
    virtual QString selectTerm(const TableDef& t, const QString& column) const = 0;
    // One term of an ORDER BY for a column: texts without regard to letter case, as the named
    // indexes order them, and empty values first.
    virtual QString orderTerm(const TableDef& t, const QString& column) const = 0;

    // The place of one bound value. `untyped`: the place gives the value no type of its own (a
    // branch of a Case).
    virtual QString parameter(const QVariant& value, bool untyped) const = 0;
    // A truth value written as a word in a text ("True", "False"), as logical columns hold it.
    virtual QString truthValue(bool value) const = 0;
    // The operand of "x In" for a list of whole numbers, appending its values to `binds`.
    // `parenthesised`: the list is the whole operand rather than the inside of its parentheses.
    // A statement binds a bounded number of values, so a long list goes as one bound array.
    QString numberList(const QVector<qint64>& values, bool parenthesised, QVariantList& binds) const;

    // One UPDATE of some columns of `rows` rows, the values bound row after row (the row key,
    // then the columns in order); empty where a prepared statement per row costs the store less.
    virtual QString updateRows(const TableDef& t, const QStringList& columns, int rows) const {
        Q_UNUSED(t);
        Q_UNUSED(columns);
        Q_UNUSED(rows);
        return {};
    }

    // How many scattered rows a table object reads with one statement: where each statement is a
    // round trip to a server, a window's worth at once.
    virtual int rowsPerList() const { return 64; }

    // The aggregate that joins the texts of a group with a separator, in the order the rows come
    // ("Group_Concat" in the system's texts).
    virtual QString joinTexts() const { return QStringLiteral("group_concat"); }

    // The statements that make a table with its indexes.
    virtual QStringList createTable(const TableDef& t) const = 0;

    // A table of the engine's own (how long versions are kept) beside the system table `beside`:
    // in its file, where the store keeps a file per table.
    virtual QString ownTable(const TableDef& beside, const QString& name) const = 0;
    // A count of the engine's own tables beside `beside` named as the one bound value.
    virtual QString countOwnTables(const TableDef& beside) const = 0;

    // An INSERT of some columns of a table; run, it gives the new row's key to the store.
    QString insertSql(const TableDef& t, const QStringList& columns) const;
    // The same into a table named as given (the table of a file being made).
    QString insertInto(const QString& table, const QStringList& columns) const;

    // Every row of a table, every column in table order, in the order the rows were made: what
    // copying or comparing a whole table reads.
    QString selectAll(const TableDef& t) const;
    // One INSERT of `rows` whole rows, their values bound row after row in table order.
    QString insertAll(const TableDef& t, int rows) const;

protected:
    // A Select of the whole numbers in one bound JSON array.
    virtual QString arrayValues() const = 0;
    // What an INSERT ends with to give back the new row's key; empty where the driver tells it.
    virtual QString insertEnd(const TableDef& t) const = 0;
};

} // namespace engine
