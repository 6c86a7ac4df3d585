#pragma once

#include "planning/ReferenceWindow.h"

class DepartmentsWindow : public ReferenceWindow {
    Q_OBJECT
public:
    explicit DepartmentsWindow(DataModule& dm, QWidget* parent = nullptr);
};
