#include "planning/MeasurementsWindow.h"

#include "controls/DataGrid.h"
#include "controls/DateEdit.h"
#include "controls/Desktop.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "data/DataModule.h"
#include "planning/SelectDateDialog.h"

#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace planning {

MeasurementsWindow::MeasurementsWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), dm_(dm) {
    setWindowTitle(QStringLiteral("Measurments"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* lay = new QVBoxLayout(this);
    measureGrid = new controls::DataGrid(this);
    measureGrid->bind(&dm_.measureSource,
                      {{QStringLiteral("MeasurementNumber"), QStringLiteral("Number"), 11},
                       {QStringLiteral("CompleationDate"), QStringLiteral("Completion Date"), 22},
                       {QStringLiteral("ShortDescription"), QStringLiteral("Deliverable")}});
    lay->addWidget(measureGrid, 2);

    detailGroup = new QGroupBox(QStringLiteral("Detail"), this);
    auto* grid = new QGridLayout(detailGroup);
    buildDetailFields();
    layOutDetail(grid);
    lay->addWidget(detailGroup, 3);
    buildButtonBar(lay);

    setTabOrder(completionDateEdit, completedBox);
    setTabOrder(completedBox, deliverableMemo);
    setTabOrder(deliverableMemo, measurementMemo);
    connectSignals();

    onCreate();
    setFixedSize(560, 520);
}

void MeasurementsWindow::buildDetailFields() {
    numberLabel = new QLabel(QStringLiteral("Number:"), detailGroup);
    numberEdit = new controls::FieldEdit(detailGroup);
    numberEdit->bind(&dm_.measureSource, QStringLiteral("MeasurementNumber"));
    numberEdit->setMaximumWidth(80);
    controls::setControlEnabled(numberEdit, false);
    completionDateLabel = new QLabel(QStringLiteral("Completion Date:"), detailGroup);
    // A date box of its own: a plain edit would write each keystroke as a date.
    completionDateEdit = new controls::DBDateEdit(detailGroup);
    completionDateEdit->bind(&dm_.measureSource, QStringLiteral("CompleationDate"));
    completionDateEdit->setMaximumWidth(
        completionDateEdit->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 16);
    dateButton = controls::button(QString(), detailGroup);
    dateButton->setIcon(selectDateIcon());
    dateButton->setToolTip(QStringLiteral("Select Date"));
    dateButton->setFixedWidth(28);
    resetButton = controls::button(QStringLiteral("Reset"), detailGroup);
    completedBox = new controls::FieldCheckBox(QStringLiteral("Completed"), detailGroup);
    completedBox->bind(&dm_.measureSource, QStringLiteral("Compleated"));
    deliverableLabel = new QLabel(QStringLiteral("Deliverable"), detailGroup);
    deliverableMemo = new controls::FieldMemo(detailGroup);
    deliverableMemo->bind(&dm_.measureSource, QStringLiteral("Deliverable"));
    deliverableMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    measurementLabel = new QLabel(QStringLiteral("Measurement:"), detailGroup);
    measurementMemo = new controls::FieldMemo(detailGroup);
    measurementMemo->bind(&dm_.measureSource, QStringLiteral("Measurement"));
    measurementMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    modifiedByLabel = new QLabel(QStringLiteral("Modified By:"), detailGroup);
    modifiedByBox = new controls::LookupComboBox(detailGroup);
    modifiedByBox->setList(&dm_.visibleUsersSource, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    modifiedByBox->bind(&dm_.measureSource, QStringLiteral("ModifiedBy"));
    controls::setControlEnabled(modifiedByBox, false);
    modifiedDateEdit = new controls::FieldEdit(detailGroup);
    modifiedDateEdit->bind(&dm_.measureSource, QStringLiteral("ModifiedDate"));
    controls::setControlEnabled(modifiedDateEdit, false);
    numberLabel->setBuddy(numberEdit);
    completionDateLabel->setBuddy(completionDateEdit);
    deliverableLabel->setBuddy(deliverableMemo);
    measurementLabel->setBuddy(measurementMemo);
}

void MeasurementsWindow::layOutDetail(QGridLayout* grid) {
    controls::addGridRow(grid, 0, numberLabel, controls::lineOf({numberEdit}));
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(completionDateEdit);
    dateRow->addWidget(dateButton);
    dateRow->addWidget(resetButton);
    dateRow->addSpacing(16);
    dateRow->addWidget(completedBox);
    dateRow->addStretch();
    controls::addGridRow(grid, 1, completionDateLabel, dateRow);
    controls::addGridRow(grid, 2, deliverableLabel, deliverableMemo, Qt::AlignTop);
    controls::addGridRow(grid, 3, measurementLabel, measurementMemo, Qt::AlignTop);
    auto* modifiedRow = new QHBoxLayout;
    modifiedRow->addWidget(modifiedByBox, 1);
    modifiedRow->addWidget(modifiedDateEdit, 1);
    controls::addGridRow(grid, 4, modifiedByLabel, modifiedRow);
    grid->setColumnStretch(1, 1);
}

void MeasurementsWindow::buildButtonBar(QVBoxLayout* lay) {
    deleteButton = controls::button(QStringLiteral("Delete"), this);
    insertButton = controls::button(QStringLiteral("Insert"), this);
    saveButton = controls::button(QStringLiteral("Save"), this);
    closeButton = controls::button(QStringLiteral("Close"), this);
    lay->addLayout(controls::buttonBar(helpButton, {deleteButton, insertButton, saveButton, closeButton}));
}

void MeasurementsWindow::connectSignals() {
    connect(insertButton, &QPushButton::clicked, this, controls::handler(this, [this] { insertClicked(); }));
    connect(saveButton, &QPushButton::clicked, this, controls::handler(this, [this] { saveClicked(); }));
    connect(deleteButton, &QPushButton::clicked, this, controls::handler(this, [this] { deleteClicked(); }));
    connect(dateButton, &QPushButton::clicked, this, controls::handler(this, [this] { dateClicked(); }));
    connect(resetButton, &QPushButton::clicked, this, controls::handler(this, [this] { resetClicked(); }));
    connect(closeButton, &QPushButton::clicked, this, controls::handler(this, [this] { closeWindow(); }));
    connect(&dm_.measureSource, &engine::DataSource::changed, this, [this] { updateButtons(); });
    connect(&dm_.measureTable, &engine::DataSet::fieldChanged, this, [this] {
        if (!settingUp_) untouchedInsert_ = false;
    });
    connect(&dm_.measureTable, &engine::DataSet::stateChanged, this, [this] {
        if (dm_.measureTable.state() != engine::DataSet::State::Insert) untouchedInsert_ = false;
    });
}

void MeasurementsWindow::onCreate() {
    engine::Table& strategy = dm_.strategyTable;
    dm_.measureTable.setFiltered(false);
    dm_.setMeasuredStrategy(strategy.field(QStringLiteral("StrategyID")).asInt());
    dm_.measureTable.setFiltered(true);
    const int owner = strategy.field(QStringLiteral("UserNumber")).asInt();
    // Items belong to a stored strategy; without its key nothing may be added.
    const bool stored = !strategy.field(QStringLiteral("StrategyID")).isNull();
    if (stored && dm_.user().mayEdit(owner)) {
        if (dm_.measureTable.isEmpty()) insertClicked();
        setReadOnly(false);
    } else {
        setReadOnly(true);
    }
}

void MeasurementsWindow::setReadOnly(bool flag) {
    readOnly_ = flag;
    completionDateEdit->setDataReadOnly(flag);
    measurementMemo->setReadOnly(flag);
    deliverableMemo->setReadOnly(flag);
    for (QWidget* w : std::initializer_list<QWidget*>{completionDateEdit, measurementMemo, deliverableMemo})
        controls::paintReadOnly(w, flag);
    for (QWidget* w :
         std::initializer_list<QWidget*>{completedBox, insertButton, saveButton, resetButton, dateButton})
        w->setEnabled(!flag);
    updateButtons();
}

void MeasurementsWindow::updateButtons() {
    // Deleting needs an item to delete: the question is not asked over an empty list.
    engine::Table& t = dm_.measureTable;
    deleteButton->setEnabled(!readOnly_ && t.isOpen() && !t.isEmpty());
}

void MeasurementsWindow::insertClicked() {
    engine::Table& t = dm_.measureTable;
    // A new item nobody has touched is not worth storing; anything else pending is stored by
    // the insert's own settling.
    completionDateEdit->commit();
    if (untouchedInsert_ && t.state() == engine::DataSet::State::Insert) t.cancel();
    t.insert();
    settingUp_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{settingUp_};
    t.field(QStringLiteral("StrategyID")).setValue(dm_.measuredStrategy());
    t.field(QStringLiteral("MeasurementNumber")).setValue(dm_.nextMeasurementNumber(dm_.measuredStrategy()));
    t.field(QStringLiteral("Compleated")).setValue(false);
    untouchedInsert_ = true;
}

void MeasurementsWindow::saveClicked() {
    engine::Table& t = dm_.measureTable;
    completionDateEdit->commit();
    if (t.isEditing()) t.post();
}

void MeasurementsWindow::deleteClicked() {
    if (desktop().confirm(QStringLiteral("Are you sure you want to delete this Measurement?")))
        dm_.measureTable.remove();
}

void MeasurementsWindow::dateClicked() {
    selectDateInto(dm_.measureTable, QStringLiteral("CompleationDate"), desktop(), this);
}

void MeasurementsWindow::resetClicked() {
    engine::Table& t = dm_.measureTable;
    t.edit();
    t.field(QStringLiteral("CompleationDate")).clear();
}

void MeasurementsWindow::closeWindow() {
    reject();
}

void MeasurementsWindow::done(int result) {
    // Every way of closing drops what is still pending.
    if (!closed_) {
        closed_ = true;
        controls::guarded(this, [this] { dm_.measureTable.cancel(); });
    }
    controls::Screen::done(result);
}

} // namespace planning
