#pragma once

#include "planning/ReferenceWindow.h"

namespace planning {

class GoalTypesWindow : public ReferenceWindow {
    Q_OBJECT
public:
    explicit GoalTypesWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);
};

} // namespace planning
