#include "planning/GoalTypesWindow.h"

#include "data/DataModule.h"

GoalTypesWindow::GoalTypesWindow(QWidget* parent)
    : ReferenceWindow({QStringLiteral("Gaol Types"), &ProgramDataForm->GoalTypeTable,
                       &ProgramDataForm->GoalTypeSource, QStringLiteral("GoalTypeID"),
                       QStringLiteral("TypeDescription"), QStringLiteral("Detail"),
                       QStringLiteral("Are you sure you want to delete this goal type?"), true, false, false},
                      parent) {}
