#include "planning/MeasurementsWindow.h"

#include "controls/DataControls.h"
#include "controls/DateEdit.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/Plain.h"
#include "data/DataModule.h"
#include "planning/SelectDateDialog.h"

#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

MeasurementsWindow::MeasurementsWindow(DataModule& dm, QWidget* parent) : controls::Screen(parent), dm_(dm) {
    setWindowTitle(QStringLiteral("Measurments"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* lay = new QVBoxLayout(this);
    DBGrid1 = new controls::DBGrid(this);
    DBGrid1->bind(&dm_.MeasureSource,
                  {{QStringLiteral("MeasurementNumber"), QStringLiteral("Number"), 11},
                   {QStringLiteral("CompleationDate"), QStringLiteral("Completion Date"), 22},
                   {QStringLiteral("ShortDescription"), QStringLiteral("Deliverable")}});
    lay->addWidget(DBGrid1, 2);

    GroupBox1 = new QGroupBox(QStringLiteral("Detail"), this);
    auto* grid = new QGridLayout(GroupBox1);
    Label3 = new QLabel(QStringLiteral("Number:"), GroupBox1);
    DBEdit1 = new controls::DBEdit(GroupBox1);
    DBEdit1->bind(&dm_.MeasureSource, QStringLiteral("MeasurementNumber"));
    DBEdit1->setMaximumWidth(80);
    controls::setControlEnabled(DBEdit1, false);
    Label2 = new QLabel(QStringLiteral("Completion Date:"), GroupBox1);
    // A date box of its own: a plain edit would write each keystroke as a date.
    DBEdit2 = new controls::DBDateEdit(GroupBox1);
    DBEdit2->bind(&dm_.MeasureSource, QStringLiteral("CompleationDate"));
    DBEdit2->setMaximumWidth(DBEdit2->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 16);
    DateBtn = controls::button(QString(), GroupBox1);
    DateBtn->setIcon(SelectDateIcon());
    DateBtn->setToolTip(QStringLiteral("Select Date"));
    DateBtn->setFixedWidth(28);
    ResetBtn = controls::button(QStringLiteral("Reset"), GroupBox1);
    DBCheckBox1 = new controls::DBCheckBox(QStringLiteral("Completed"), GroupBox1);
    DBCheckBox1->bind(&dm_.MeasureSource, QStringLiteral("Compleated"));
    Label5 = new QLabel(QStringLiteral("Deliverable"), GroupBox1);
    DBMemo2 = new controls::DBMemo(GroupBox1);
    DBMemo2->bind(&dm_.MeasureSource, QStringLiteral("Deliverable"));
    DBMemo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Label1 = new QLabel(QStringLiteral("Measurement:"), GroupBox1);
    DBMemo1 = new controls::DBMemo(GroupBox1);
    DBMemo1->bind(&dm_.MeasureSource, QStringLiteral("Measurement"));
    DBMemo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Label4 = new QLabel(QStringLiteral("Modified By:"), GroupBox1);
    DBLookupComboBox1 = new controls::DBLookupComboBox(GroupBox1);
    DBLookupComboBox1->setList(&dm_.VisibleUsersSource, QStringLiteral("UserNumber"),
                               QStringLiteral("UserName"));
    DBLookupComboBox1->bind(&dm_.MeasureSource, QStringLiteral("ModifiedBy"));
    controls::setControlEnabled(DBLookupComboBox1, false);
    DBEdit3 = new controls::DBEdit(GroupBox1);
    DBEdit3->bind(&dm_.MeasureSource, QStringLiteral("ModifiedDate"));
    controls::setControlEnabled(DBEdit3, false);
    Label3->setBuddy(DBEdit1);
    Label2->setBuddy(DBEdit2);
    Label5->setBuddy(DBMemo2);
    Label1->setBuddy(DBMemo1);

    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(DBEdit1);
    numberRow->addStretch();
    grid->addWidget(Label3, 0, 0);
    grid->addLayout(numberRow, 0, 1);
    auto* dateRow = new QHBoxLayout;
    dateRow->addWidget(DBEdit2);
    dateRow->addWidget(DateBtn);
    dateRow->addWidget(ResetBtn);
    dateRow->addSpacing(16);
    dateRow->addWidget(DBCheckBox1);
    dateRow->addStretch();
    grid->addWidget(Label2, 1, 0);
    grid->addLayout(dateRow, 1, 1);
    grid->addWidget(Label5, 2, 0, Qt::AlignTop);
    grid->addWidget(DBMemo2, 2, 1);
    grid->addWidget(Label1, 3, 0, Qt::AlignTop);
    grid->addWidget(DBMemo1, 3, 1);
    auto* modifiedRow = new QHBoxLayout;
    modifiedRow->addWidget(DBLookupComboBox1, 1);
    modifiedRow->addWidget(DBEdit3, 1);
    grid->addWidget(Label4, 4, 0);
    grid->addLayout(modifiedRow, 4, 1);
    grid->setColumnStretch(1, 1);
    lay->addWidget(GroupBox1, 3);

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

    setTabOrder(DBEdit2, DBCheckBox1);
    setTabOrder(DBCheckBox1, DBMemo2);
    setTabOrder(DBMemo2, DBMemo1);

    connect(InsertBtn, &QPushButton::clicked, this, controls::handler([this] { InsertBtnClick(); }));
    connect(SaveBtn, &QPushButton::clicked, this, controls::handler([this] { SaveBtnClick(); }));
    connect(DeleteBtn, &QPushButton::clicked, this, controls::handler([this] { DeleteBtnClick(); }));
    connect(DateBtn, &QPushButton::clicked, this, controls::handler([this] { DateBtnClick(); }));
    connect(ResetBtn, &QPushButton::clicked, this, controls::handler([this] { ResetBtnClick(); }));
    connect(BitBtn1, &QPushButton::clicked, this, controls::handler([this] { BitBtn1Click(); }));
    connect(&dm_.MeasureSource, &engine::DataSource::changed, this, [this] { updateButtons(); });
    connect(&dm_.MeasureTable, &engine::DataSet::fieldChanged, this, [this] {
        if (!settingUp_) untouchedInsert_ = false;
    });
    connect(&dm_.MeasureTable, &engine::DataSet::stateChanged, this, [this] {
        if (dm_.MeasureTable.state() != engine::DataSet::State::Insert) untouchedInsert_ = false;
    });

    FormCreate();
    setFixedSize(560, 520);
}

void MeasurementsWindow::FormCreate() {
    engine::Table& strategy = dm_.StrategyTable;
    dm_.MeasureTable.setFiltered(false);
    dm_.setMeasuredStrategy(strategy.field(QStringLiteral("StrategyID")).asInt());
    dm_.MeasureTable.setFiltered(true);
    HelpBtn->setVisible(controls::helpFileExists());
    const int owner = strategy.field(QStringLiteral("UserNumber")).asInt();
    // Items belong to a stored strategy; without its key nothing may be added.
    const bool stored = !strategy.field(QStringLiteral("StrategyID")).isNull();
    if (stored && dm_.user().mayEdit(owner)) {
        if (dm_.MeasureTable.isEmpty()) InsertBtnClick();
        SetReadOnly(false);
    } else {
        SetReadOnly(true);
    }
}

void MeasurementsWindow::SetReadOnly(bool flag) {
    readOnly_ = flag;
    DBEdit2->setDataReadOnly(flag);
    DBMemo1->setReadOnly(flag);
    DBMemo2->setReadOnly(flag);
    for (QWidget* w : std::initializer_list<QWidget*>{DBEdit2, DBMemo1, DBMemo2})
        controls::paintReadOnly(w, flag);
    for (QWidget* w : std::initializer_list<QWidget*>{DBCheckBox1, InsertBtn, SaveBtn, ResetBtn, DateBtn})
        w->setEnabled(!flag);
    updateButtons();
}

void MeasurementsWindow::updateButtons() {
    // Deleting needs an item to delete: the question is not asked over an empty list.
    engine::Table& t = dm_.MeasureTable;
    DeleteBtn->setEnabled(!readOnly_ && t.isOpen() && !t.isEmpty());
}

void MeasurementsWindow::InsertBtnClick() {
    engine::Table& t = dm_.MeasureTable;
    // A new item nobody has touched is not worth storing; anything else pending is stored by
    // the insert's own settling.
    DBEdit2->commit();
    if (untouchedInsert_ && t.state() == engine::DataSet::State::Insert) t.cancel();
    t.insert();
    settingUp_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{settingUp_};
    t.field(QStringLiteral("StrategyID")).setValue(dm_.measuredStrategy());
    t.field(QStringLiteral("MeasurementNumber")).setValue(dm_.NextMeasurementNumber(dm_.measuredStrategy()));
    t.field(QStringLiteral("Compleated")).setValue(false);
    untouchedInsert_ = true;
}

void MeasurementsWindow::SaveBtnClick() {
    engine::Table& t = dm_.MeasureTable;
    DBEdit2->commit();
    if (t.isEditing()) t.post();
}

void MeasurementsWindow::DeleteBtnClick() {
    if (controls::confirm(QStringLiteral("Are you sure you want to delete this Measurement?")))
        dm_.MeasureTable.remove();
}

void MeasurementsWindow::DateBtnClick() {
    SelectDateInto(dm_.MeasureTable, QStringLiteral("CompleationDate"), this);
}

void MeasurementsWindow::ResetBtnClick() {
    engine::Table& t = dm_.MeasureTable;
    t.edit();
    t.field(QStringLiteral("CompleationDate")).clear();
}

void MeasurementsWindow::BitBtn1Click() {
    reject();
}

void MeasurementsWindow::done(int result) {
    // Every way of closing drops what is still pending.
    if (!closed_) {
        closed_ = true;
        controls::guarded([this] { dm_.MeasureTable.cancel(); });
    }
    controls::Screen::done(result);
}
