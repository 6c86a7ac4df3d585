#include "planning/ReferenceWindow.h"

#include "controls/DataControls.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "data/DataModule.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ReferenceWindow::ReferenceWindow(DataModule& dm, const Kind& kind, QWidget* parent)
    : controls::Screen(parent), kind_(kind), dm_(dm) {
    setWindowTitle(kind.title);
    if (!kind.resizable)
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::MSWindowsFixedSizeDialogHint);
    auto* lay = new QVBoxLayout(this);
    DBGrid1 = new controls::DBGrid(this);
    DBGrid1->bind(
        kind.source,
        {{kind.idField, QStringLiteral("ID"), 6}, {kind.descriptionField, QStringLiteral("Description")}},
        !kind.listEditable);
    lay->addWidget(DBGrid1, 1);

    GroupBox1 = new QGroupBox(kind.frameCaption, this);
    auto* grid = new QGridLayout(GroupBox1);
    Label1 = new QLabel(QStringLiteral("ID:"), GroupBox1);
    DBEdit1 = new controls::DBEdit(GroupBox1);
    DBEdit1->bind(kind.source, kind.idField);
    if (kind.idDisabled)
        controls::setControlEnabled(DBEdit1, false);
    else {
        DBEdit1->setDataReadOnly(true);
        controls::paintReadOnly(DBEdit1, true);
    }
    Label2 = new QLabel(QStringLiteral("Description:"), GroupBox1);
    DBEdit2 = new controls::DBEdit(GroupBox1);
    DBEdit2->bind(kind.source, kind.descriptionField);
    Label3 = new QLabel(QStringLiteral("Modified By:"), GroupBox1);
    DBLookupComboBox1 = new controls::DBLookupComboBox(GroupBox1);
    DBLookupComboBox1->setList(&dm_.UserSettingsSource, QStringLiteral("UserNumber"),
                               QStringLiteral("UserName"));
    DBLookupComboBox1->bind(kind.source, QStringLiteral("ModifiedBy"));
    controls::setControlEnabled(DBLookupComboBox1, false);
    DBEdit3 = new controls::DBEdit(GroupBox1);
    DBEdit3->bind(kind.source, QStringLiteral("ModifiedDate"));
    if (kind.idDisabled)
        controls::setControlEnabled(DBEdit3, false);
    else {
        DBEdit3->setDataReadOnly(true);
        controls::paintReadOnly(DBEdit3, true);
    }
    Label1->setBuddy(DBEdit1);
    Label2->setBuddy(DBEdit2);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(DBEdit1, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(DBEdit2, 1, 1, 1, 2);
    grid->addWidget(Label3, 2, 0);
    grid->addWidget(DBLookupComboBox1, 2, 1);
    grid->addWidget(DBEdit3, 2, 2);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    lay->addWidget(GroupBox1);

    auto* buttons = new QHBoxLayout;
    DeleteBtn = controls::button(QStringLiteral("Delete"), this);
    InsertBtn = controls::button(QStringLiteral("Insert"), this);
    SaveBtn = controls::button(QStringLiteral("Save"), this);
    BitBtn1 = controls::button(QStringLiteral("Close"), this);
    buttons->addWidget(HelpBtn);
    buttons->addStretch();
    for (QPushButton* b : {DeleteBtn, InsertBtn, SaveBtn, BitBtn1})
        buttons->addWidget(b);
    lay->addLayout(buttons);
    connect(InsertBtn, &QPushButton::clicked, this, controls::handler([this] { InsertBtnClick(); }));
    connect(SaveBtn, &QPushButton::clicked, this, controls::handler([this] { SaveBtnClick(); }));
    connect(DeleteBtn, &QPushButton::clicked, this, controls::handler([this] { DeleteBtnClick(); }));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    connect(kind.source, &engine::DataSource::changed, this, [this] { updateButtons(); });
    FormCreate();
    if (kind.resizable)
        resize(480, 420);
    else
        setFixedSize(480, 420);
}

ReferenceWindow::~ReferenceWindow() {
    // A cell edit still open in the grid is written while the children go; this part of the
    // window is gone by then and must hear nothing of it.
    disconnect(kind_.source, nullptr, this, nullptr);
}

void ReferenceWindow::FormCreate() {
    HelpBtn->setVisible(controls::helpFileExists());
    updateButtons();
}

void ReferenceWindow::updateButtons() {
    engine::Table& t = *kind_.table;
    const bool shown = t.isOpen() && !t.isEmpty(); // a record being inserted counts as shown
    SaveBtn->setEnabled(shown);
    DeleteBtn->setEnabled(shown);
}

void ReferenceWindow::InsertBtnClick() {
    kind_.table->insert();
}

void ReferenceWindow::SaveBtnClick() {
    if (kind_.table->isEmpty()) return; // stores only what Insert began, never a blank record
    kind_.table->edit();
    kind_.table->post();
}

void ReferenceWindow::DeleteBtnClick() {
    if (controls::confirm(kind_.deleteQuestion)) kind_.table->remove();
}

void ReferenceWindow::FormClose() {
    kind_.table->cancel();
}

void ReferenceWindow::done(int result) {
    if (!closed_) {
        closed_ = true;
        controls::guarded([this] { FormClose(); });
    }
    controls::Screen::done(result);
}

GoalTypesWindow::GoalTypesWindow(DataModule& dm, QWidget* parent)
    : ReferenceWindow(dm,
                      {QStringLiteral("Gaol Types"), &dm.GoalTypeTable, &dm.GoalTypeSource,
                       QStringLiteral("GoalTypeID"), QStringLiteral("TypeDescription"),
                       QStringLiteral("Detail"),
                       QStringLiteral("Are you sure you want to delete this goal type?"), true, false, false},
                      parent) {}

DepartmentsWindow::DepartmentsWindow(DataModule& dm, QWidget* parent)
    : ReferenceWindow(dm,
                      {QStringLiteral("Department"), &dm.DepartmentTable, &dm.DepartmentSource,
                       QStringLiteral("DepartmentID"), QStringLiteral("Description"),
                       QStringLiteral("Department Detail"),
                       QStringLiteral("Are you sure you want to delete this Department?"), false, true, true},
                      parent) {}
