#include "planning/DepartmentsWindow.h"

#include "data/DataModule.h"

namespace planning {

DepartmentsWindow::DepartmentsWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : ReferenceWindow(dm,
                      {QStringLiteral("Department"), &dm.departmentTable, &dm.departmentSource,
                       QStringLiteral("DepartmentID"), QStringLiteral("Description"),
                       QStringLiteral("Department Detail"),
                       QStringLiteral("Are you sure you want to delete this Department?"), false, true, true},
                      desktop, parent) {}

} // namespace planning
