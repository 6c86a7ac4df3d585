#pragma once

#include "planning/ReferenceWindow.h"

namespace planning {

class DepartmentsWindow : public ReferenceWindow {
    Q_OBJECT
public:
    explicit DepartmentsWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);
};

} // namespace planning
