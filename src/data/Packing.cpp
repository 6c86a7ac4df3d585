#include "data/Packing.h"

#include "controls/Dialogs.h"
#include "data/DataModule.h"
#include "engine/Error.h"

#include <QDir>
#include <QFileInfo>

void OpenTableExclusive(engine::Table& t) {
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

void PackTable(engine::Table& t) {
    OpenTableExclusive(t);
    if (t.isOpen()) t.pack(DataModule::TablePassword());
    t.close();
    t.setExclusive(false);
    t.open();
}

void PackDatabase(DataModule& dm, PackProgress& progress) {
    const std::pair<const char*, engine::Table*> steps[] = {
        {"Packing Security Table", &dm.SecurityTable},  {"Packing User Table", &dm.UserSettingsTable},
        {"Packing Settings Table", &dm.SettingsTable},  {"Packing Goals Table", &dm.GoalsTable},
        {"Packing Strategys Table", &dm.StrategyTable}, {"Packing Department Table", &dm.DepartmentTable},
        {"Packing Goal Type Table", &dm.GoalTypeTable}, {"Packing Access List Table", &dm.AccessListTable},
        {"Packing Measurement Table", &dm.MeasureTable}};
    try {
        for (const auto& [text, table] : steps) {
            progress.setStatus(QString::fromLatin1(text));
            if (table == &dm.UserSettingsTable) {
                dm.VisibleUsersTable.close();
                PackTable(*table);
                dm.VisibleUsersTable.open();
            } else {
                PackTable(*table);
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
    if (dm.GoalDatabase.isOpen()) return dm.GoalDatabase.tableSize(fileName);
    const QString path = engine::Database::findFile(QDir::currentPath(), fileName);
    return path.isEmpty() ? 0 : QFileInfo(path).size();
}
