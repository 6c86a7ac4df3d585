#pragma once

#include "controls/Screen.h"

namespace data {
class DataModule;
}

class QGroupBox;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace engine {
class DataSource;
class Table;
} // namespace engine

namespace controls {
class FieldEdit;
class DataGrid;
class LookupComboBox;
} // namespace controls

namespace planning {

// The pattern the goal types and departments screens share: a list, a detail frame with the
// number, the description and who changed it last, and Insert, Save, Delete, Close.
class ReferenceWindow : public controls::Screen {
    Q_OBJECT
public:
    struct Kind {
        QString title;
        engine::Table* table;
        engine::DataSource* source;
        QString idField;
        QString descriptionField;
        QString frameCaption;
        QString deleteQuestion;
        bool listEditable; // the goal types list can be edited in place
        bool idDisabled;   // departments disable the number; goal types show it read-only
        bool resizable;
    };

    QGroupBox* detailGroup;
    controls::DataGrid* itemGrid;
    QLabel* idLabel;
    controls::FieldEdit* idEdit;
    QLabel* descriptionLabel;
    controls::FieldEdit* descriptionEdit;
    QLabel* modifiedByLabel;
    controls::LookupComboBox* modifiedByBox;
    controls::FieldEdit* modifiedDateEdit;
    QPushButton* deleteButton;
    QPushButton* insertButton;
    QPushButton* saveButton;
    QPushButton* closeButton;

    void onCreate();
    void insertClicked();
    void saveClicked();
    void deleteClicked();
    void onClose();
    void done(int result) override;

protected:
    ReferenceWindow(data::DataModule& dm, const Kind& kind, controls::Desktop& desktop, QWidget* parent);
    ~ReferenceWindow() override;

private:
    void buildDetailGroup(QVBoxLayout* lay);
    void updateButtons();
    Kind kind_;
    data::DataModule& dm_;
    bool closed_ = false;
};

} // namespace planning
