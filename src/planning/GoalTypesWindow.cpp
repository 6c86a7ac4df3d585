#include "planning/GoalTypesWindow.h"

#include "data/DataModule.h"

namespace planning {

GoalTypesWindow::GoalTypesWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : ReferenceWindow(dm,
                      {QStringLiteral("Gaol Types"), &dm.goalTypeTable, &dm.goalTypeSource,
                       QStringLiteral("GoalTypeID"), QStringLiteral("TypeDescription"),
                       QStringLiteral("Detail"),
                       QStringLiteral("Are you sure you want to delete this goal type?"), true, false, false},
                      desktop, parent) {}

} // namespace planning
