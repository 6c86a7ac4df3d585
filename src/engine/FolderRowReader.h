#pragma once

#include "engine/Backend.h"
#include "engine/FolderErrors.h"

#include <map>

struct sqlite3;
struct sqlite3_stmt;

namespace engine {

// Reads the rows of a table object's row cache and filters, and writes the rows a table object
// changes, straight through SQLite, with each statement prepared once per text: the rows a grid
// or a filter walks and a batch posts cost what SQLite costs, without a driver's conversions of
// every value.
class FolderRowReader {
public:
    explicit FolderRowReader(const FolderErrors& errors) : errors_(errors) {}
    ~FolderRowReader() { close(); }
    FolderRowReader(const FolderRowReader&) = delete;
    FolderRowReader& operator=(const FolderRowReader&) = delete;

    // Reads through a connection's handle, until close() (before the connection closes).
    void open(sqlite3* handle);
    void close();
    // Gives each row of `sql` (the row key, then every column of `t`) to `row`.
    void scan(const QString& sql, const QVariantList& binds, const TableDef& t, const QString& files,
              const Backend::RowSink& row);
    // Runs a statement that changes rows; gives how many it changed.
    qint64 change(const QString& sql, const QVariantList& binds, const QString& files);
    // Gives each row of any Select, every column in order, to `row`; a RowViewSink is handed a
    // view of the statement's row instead of its values.
    void read(const QString& sql, const QVariantList& binds, const QString& files,
              const Backend::ValuesSink& row);

private:
    class Run;
    void step(const QString& sql, const QVariantList& binds, const QString& files,
              const std::function<void(sqlite3_stmt*)>& row);
    struct RawStatement {
        sqlite3_stmt* stmt = nullptr;
        bool inUse = false;
    };
    const FolderErrors& errors_;
    sqlite3* handle_ = nullptr;
    std::map<QString, RawStatement> raw_; // node-based: an entry stays put while others are added
};

} // namespace engine
