#pragma once

#include "engine/Dialect.h"

namespace engine {

// SQLite's spelling, with each table attached under its own schema name: "goals"."goals".
// Texts order by NOCASE, which puts empty values first by itself; dates are ISO texts already.
class FolderDialect : public Dialect {
public:
    QString table(const TableDef& t) const override { return t.qualifiedName(); }
    QString column(const QString& name) const override { return quoteIdentifier(name); }
    QString rowKey(const TableDef&) const override { return QStringLiteral("rowid"); }
    QString selectTerm(const TableDef&, const QString& column) const override {
        return quoteIdentifier(column);
    }
    QString orderTerm(const TableDef& t, const QString& column) const override;
    QString parameter(const QVariant&, bool) const override { return QStringLiteral("?"); }
    QString truthValue(bool value) const override {
        return value ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    }
    QStringList createTable(const TableDef& t) const override;
    QString ownTable(const TableDef& beside, const QString& name) const override {
        return quoteIdentifier(beside.schemaName) + QLatin1Char('.') + name;
    }
    QString countOwnTables(const TableDef& beside) const override;
    // One index of a table: in the file being made (bare names), or in the table's attached file.
    QString createIndex(const TableDef& t, const IndexDef& ix, bool attached) const;
    QString updateRows(const TableDef& t, const QStringList& columns, int rows) const override;

protected:
    // SQLite reads a JSON array as a one-column table.
    QString arrayValues() const override { return QStringLiteral("Select value From json_each(?)"); }
    QString insertEnd(const TableDef&) const override { return {}; }
};

} // namespace engine
