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
    // Whether to try again after a table could not be opened for exclusive use (another
    // workstation has it open). The person answers where there is one; without, packing stops.
    virtual bool retry(const QString& question, const QString& title) {
        Q_UNUSED(question);
        Q_UNUSED(title);
        return false;
    }
};

// Packs the nine tables in their fixed order. On a failure every table is open again (shared)
// before the error is passed on; tables already packed stay packed.
void packDatabase(DataModule& dm, PackProgress& progress);
void packTable(engine::Table& t, PackProgress& progress);
// Reopens a table for exclusive use, asking whether to retry while that fails.
void openTableExclusive(engine::Table& t, PackProgress& progress);
// The size in bytes of a file of the database folder, by name in any letter case; 0 when absent.
qint64 tableFileSize(DataModule& dm, const QString& fileName);

} // namespace data
