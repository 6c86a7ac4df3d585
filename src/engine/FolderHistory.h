#pragma once

#include "engine/Schema.h"

#include <QString>

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

namespace engine {

class FolderBackend;

// How a folder keeps the versions of rows: each watched table file holds a table of its own
// versions, filled by triggers that live only in this connection (so a workstation that knows
// nothing of them goes on working, and nothing is written to a file that does not change).
// Who changes and which transaction a change belongs to come from this connection's values,
// read by the triggers through functions of the connection.
class FolderHistory {
public:
    // The versions table inside a watched file; named after the table, since the triggers must
    // name it without its file.
    static QString table(const TableDef& t);

    // The statements that make a watched file's versions table, its schema written before each
    // name (empty: the file is the connection's own database).
    static QStringList tableStatements(const TableDef& t, const QString& schema = {});

    // Makes the functions the triggers call; once per connection.
    void install(sqlite3* handle);
    // Gives the table file its versions table when it has none, and watches its rows. Run when
    // the file is attached (outside any transaction). A file that cannot be written is only read.
    void watch(FolderBackend& backend, const TableDef& t);

    void setAuthor(int user) { author_ = user; }
    void setKept(bool on) { kept_ = on; }
    // A transaction began or ended: later changes belong to another one.
    void nextGroup() { ++group_; }

private:
    static void authorFunction(::sqlite3_context* ctx, int, ::sqlite3_value**);
    static void groupFunction(::sqlite3_context* ctx, int, ::sqlite3_value**);
    static void keptFunction(::sqlite3_context* ctx, int, ::sqlite3_value**);

    int author_ = 0;
    bool kept_ = true;
    qint64 group_ = 0;
};

} // namespace engine
