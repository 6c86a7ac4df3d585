#pragma once

#include "planning/ReferenceWindow.h"

class GoalTypesWindow : public ReferenceWindow {
    Q_OBJECT
public:
    explicit GoalTypesWindow(DataModule& dm, QWidget* parent = nullptr);
};
