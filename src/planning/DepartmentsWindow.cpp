#include "planning/DepartmentsWindow.h"

#include "data/DataModule.h"

DepartmentsWindow::DepartmentsWindow(QWidget* parent)
    : ReferenceWindow({QStringLiteral("Department"), &ProgramDataForm->DepartmentTable,
                       &ProgramDataForm->DepartmentSource, QStringLiteral("DepartmentID"),
                       QStringLiteral("Description"), QStringLiteral("Department Detail"),
                       QStringLiteral("Are you sure you want to delete this Department?"), false, true, true},
                      parent) {}
