#include "data/Packing.h"

#include "data/ChangeHistory.h"
#include "data/DataModule.h"
#include "engine/Error.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

namespace data {

void openTableExclusive(engine::Table& t, PackProgress& progress) {
    t.close();
    for (;;) {
        t.setExclusive(true);
        try {
            t.open();
            return;
        } catch (const engine::Error&) {
            if (!progress.retry(QStringLiteral("Could not open Table1 exclusively - Try again?"),
                                QStringLiteral("Open Error")))
                throw;
        }
    }
}

void packTable(engine::Table& t, PackProgress& progress) {
    openTableExclusive(t, progress);
    if (t.isOpen()) t.pack(DataModule::tablePassword());
    t.close();
    t.setExclusive(false);
    t.open();
}

void packDatabase(DataModule& dm, PackProgress& progress) {
    const std::pair<const char*, engine::Table*> steps[] = {
        {"Packing Security Table", &dm.securityTable},  {"Packing User Table", &dm.userSettingsTable},
        {"Packing Settings Table", &dm.settingsTable},  {"Packing Goals Table", &dm.goalsTable},
        {"Packing Strategys Table", &dm.strategyTable}, {"Packing Department Table", &dm.departmentTable},
        {"Packing Goal Type Table", &dm.goalTypeTable}, {"Packing Access List Table", &dm.accessListTable},
        {"Packing Measurement Table", &dm.measureTable}};
    // Versions older than the system setting go first, so that packing gives their room back. A
    // user who may not remove them (a server that holds the rights) is told so by the packing
    // itself, whose message says who may pack: that one is the message he should see.
    std::optional<engine::Error> pruneFailure;
    try {
        ChangeHistory(dm).prune();
    } catch (const engine::Error& e) {
        pruneFailure = e;
    }
    try {
        for (const auto& [text, table] : steps) {
            progress.setStatus(QString::fromLatin1(text));
            if (table == &dm.userSettingsTable) {
                dm.visibleUsersTable.close();
                packTable(*table, progress);
                dm.visibleUsersTable.open();
            } else {
                packTable(*table, progress);
            }
        }
    } catch (...) {
        // Leave no table closed or marked exclusive behind the error.
        for (engine::Table* t : dm.tablesInOpenOrder()) {
            if (t->isOpen() && !t->exclusive()) continue;
            try {
                t->close();
                t->setExclusive(false);
                t->open();
            } catch (const engine::Error&) {
            }
        }
        throw;
    }
    if (pruneFailure) throw *pruneFailure;
}

qint64 tableFileSize(DataModule& dm, const QString& fileName) {
    if (dm.goalDatabase.isOpen()) return dm.goalDatabase.tableSize(fileName);
    const QString path = engine::Database::findFile(QDir::currentPath(), fileName);
    return path.isEmpty() ? 0 : QFileInfo(path).size();
}

} // namespace data
