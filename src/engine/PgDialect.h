#pragma once

#include "engine/Dialect.h"

namespace engine {

// PostgreSQL's spelling. Tables and columns keep their names in lower case, so that the system's
// texts may spell columns in any case; logical columns are integers 0/1, as in the folder store.
class PgDialect : public Dialect {
public:
    QString table(const TableDef& t) const override;
    QString column(const QString& name) const override;
    QString rowKey(const TableDef& t) const override;
    QString selectTerm(const TableDef& t, const QString& column) const override;
    QString orderTerm(const TableDef& t, const QString& column) const override;
    QString parameter(const QVariant& value, bool untyped) const override;
    QString truthValue(bool value) const override {
        return value ? QStringLiteral("1") : QStringLiteral("0");
    }
    QStringList createTable(const TableDef& t) const override;
    // One index of a table; made again, it leaves the one there as it is.
    QString createIndex(const TableDef& t, const IndexDef& ix) const;
    // An index as the server names it (index names are the schema's, not the table's).
    static QString indexName(const IndexDef& ix);
    QString updateRows(const TableDef& t, const QStringList& columns, int rows) const override;
    QString joinTexts() const override { return QStringLiteral("string_agg"); }
    int rowsPerList() const override { return 512; }
    QString ownTable(const TableDef&, const QString& name) const override { return name; }
    QString countOwnTables(const TableDef&) const override {
        return QStringLiteral("SELECT count(*) FROM pg_catalog.pg_tables WHERE tablename = ? AND "
                              "schemaname = current_schema()");
    }

    // A name between double quotes, as the server reads it in any letter case.
    static QString quoted(const QString& name);
    // The column the server assigns keys to, or null for a table whose rows have no key column.
    static const ColumnDef* keyColumn(const TableDef& t);

protected:
    QString arrayValues() const override {
        return QStringLiteral("Select value::bigint From json_array_elements_text(CAST(? AS json))");
    }
    QString insertEnd(const TableDef& t) const override { return QStringLiteral(" RETURNING ") + rowKey(t); }
};

} // namespace engine
