#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <vector>

namespace engine {

enum class FieldType { AutoInc, Integer, Number, Text, Memo, Logical, Date, DateTime };

struct ColumnDef {
    QString name;
    FieldType type;
    int width = 0; // characters of a text column, or of a memo kept inside the row
};

struct IndexDef {
    QString name;
    QStringList columns;
    bool named = true; // false for the engine's own helper indexes that give no table order
};

struct TableDef {
    QString fileName;   // as the data module writes it, e.g. "goals.db"
    QString schemaName; // the attached schema and table name inside the file, e.g. "goals"
    std::vector<ColumnDef> columns;
    std::vector<IndexDef> indexes;

    int columnIndex(const QString& name) const; // case-insensitive, -1 when absent
    // The table as statements name it: its attached schema and the table inside, both quoted.
    QString qualifiedName() const;
    const IndexDef* index(const QString& name) const;

    // Column positions by name as written and in lower case, made once with the table list.
    QHash<QString, int> positions{};
};

// A row that every new database starts with.
struct SeedRow {
    const TableDef* table;
    QStringList columns;
    QVariantList values;
};

// The settings row, profile 0 with every right, and the built-in account "Supervisor" without a
// password in it.
const std::vector<SeedRow>& seedRows();

// An identifier between double quotes, as SQLite reads column, table and schema names.
QString quoteIdentifier(const QString& name);

// The nine tables of a database folder.
const std::vector<TableDef>& tables();

// Finds a table by a file name written in any letter case, with or without its ".db" ending
// ("Goals.DB", "GoalType"). Returns nullptr for a name that is no table of the database.
const TableDef* findTable(const QString& fileName);

// The declared type of a column name in any table, for fields of query results.
// Returns false when no table declares the name.
bool columnType(const QString& name, FieldType* type);

} // namespace engine
