#include "data/Packing.h"

#include "controls/Dialogs.h"
#include "data/DataModule.h"
#include "engine/Error.h"

#include <QDir>
#include <QFileInfo>

namespace data {

void openTableExclusive(engine::Table& t) {
    t.close();
    for (;;) {
        t.setExclusive(true);
        try {
            t.open();
            return;
        } catch (const engine::Error&) {
            if (controls::messageBox(QStringLiteral("Could not open Table1 exclusively - Try again?"),
                                     controls::Icon::Stop, controls::Buttons::OkCancel,
                                     QStringLiteral("Open Error")) != controls::Answer::Ok)
                throw;
        }
    }
}

void packTable(engine::Table& t) {
    openTableExclusive(t);
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
    try {
        for (const auto& [text, table] : steps) {
            progress.setStatus(QString::fromLatin1(text));
            if (table == &dm.userSettingsTable) {
                dm.visibleUsersTable.close();
                packTable(*table);
                dm.visibleUsersTable.open();
            } else {
                packTable(*table);
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
}

qint64 TableFileSize(DataModule& dm, const QString& fileName) {
    if (dm.goalDatabase.isOpen()) return dm.goalDatabase.tableSize(fileName);
    const QString path = engine::Database::findFile(QDir::currentPath(), fileName);
    return path.isEmpty() ? 0 : QFileInfo(path).size();
}

} // namespace data
