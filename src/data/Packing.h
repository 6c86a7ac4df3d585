#pragma once

#include <QString>
#include <QtGlobal>

namespace data {
class DataModule;
}

namespace engine {
class Table;
}

namespace data {

// Where packing reports the table at hand (the main window's progress window).
class PackProgress {
public:
    virtual ~PackProgress() = default;
    virtual void setStatus(const QString& text) = 0;
};

// Packs the nine tables in their fixed order. On a failure every table is open again (shared)
// before the error is passed on; tables already packed stay packed.
void packDatabase(DataModule& dm, PackProgress& progress);
void packTable(engine::Table& t);
// Reopens a table for exclusive use, asking whether to retry while that fails.
void openTableExclusive(engine::Table& t);
// The size in bytes of a file of the database folder, by name in any letter case; 0 when absent.
qint64 TableFileSize(DataModule& dm, const QString& fileName);

} // namespace data
