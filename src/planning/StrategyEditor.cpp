#include "planning/StrategyEditor.h"

#include "controls/DataControls.h"
#include "controls/DateEdit.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/Plain.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "engine/DataSource.h"
#include "engine/Query.h"
#include "planning/MeasurementsWindow.h"
#include "planning/SelectDateDialog.h"
#include "printing/Printer.h"
#include "reports/StrategyReport.h"

#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace sql = engine::sql;

namespace {

const char* const kMemoFields[] = {"StrategyDescription", "Responsibility",      "Deliverable",
                                   "Measurement",         "AddationalResources", "CommentsStatus"};

} // namespace

StrategyEditor::StrategyEditor(DataModule& dm, QWidget* parent)
    : controls::Screen(parent), strategyQuery(dm.GoalDatabase), dm_(dm) {
    setWindowTitle(QStringLiteral("Strategy Edit"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    // The user boxes are never dropped down (they are disabled): they list only the users the
    // strategy can name, not every user of the organisation.
    userNames_ = new engine::Query(dm_.GoalDatabase, this);
    userNamesSource_ = new engine::DataSource(userNames_, this);
    loadUserNames();

    auto* lay = new QVBoxLayout(this);
    GroupBox1 = new QGroupBox(QStringLiteral("Detail"), this);
    auto* grid = new QGridLayout(GroupBox1);
    grid->setColumnStretch(1, 1);
    int row = 0;
    // Captions of one-line boxes sit level with the box, those of memos at their top.
    auto label = [&](const char* caption, bool memoCaption = false) {
        auto* l = new QLabel(QString::fromLatin1(caption), GroupBox1);
        l->setAlignment(Qt::AlignLeft | (memoCaption ? Qt::AlignTop : Qt::AlignVCenter));
        return l;
    };
    auto greyEdit = [&](controls::DBEdit* e) {
        e->setDataReadOnly(true);
        e->setFocusPolicy(Qt::NoFocus);
        controls::paintReadOnly(e, true);
    };

    Label1 = label("User:");
    DBLookupComboBox1 = new controls::DBLookupComboBox(GroupBox1);
    DBLookupComboBox1->setList(userNamesSource_, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    DBLookupComboBox1->bind(&dm_.StrategySource, QStringLiteral("UserNumber"));
    controls::setControlEnabled(DBLookupComboBox1, false);
    grid->addWidget(Label1, row, 0);
    grid->addWidget(DBLookupComboBox1, row++, 1);

    Label2 = label("Department:");
    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setReadOnly(true);
    Edit1->setFocusPolicy(Qt::NoFocus);
    controls::paintReadOnly(Edit1, true);
    grid->addWidget(Label2, row, 0);
    grid->addWidget(Edit1, row++, 1);

    Label12 = label("Goal:");
    DBEdit4 = new controls::DBEdit(GroupBox1);
    DBEdit4->bind(&dm_.GoalsSource, QStringLiteral("GoalDescription"));
    greyEdit(DBEdit4);
    grid->addWidget(Label12, row, 0);
    grid->addWidget(DBEdit4, row++, 1);

    Label3 = label("Strategy #:");
    DBEdit1 = new controls::DBEdit(GroupBox1);
    DBEdit1->bind(&dm_.StrategySource, QStringLiteral("StrategyNumber"));
    controls::setControlEnabled(DBEdit1, false);
    DBEdit1->setFixedWidth(DBEdit1->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
    Label8 = new QLabel(QStringLiteral("Completion Date:"), GroupBox1);
    DBEdit3 = new controls::DBDateEdit(GroupBox1);
    DBEdit3->bind(&dm_.StrategySource, QStringLiteral("CompleationDate"));
    DBEdit3->setFixedWidth(DBEdit3->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 16);
    Label8->setBuddy(DBEdit3);
    DateBtn = new QToolButton(GroupBox1);
    DateBtn->setIcon(SelectDateIcon());
    DateBtn->setToolTip(QStringLiteral("Select Date"));
    ResetBtn = controls::button(QStringLiteral("Reset"), GroupBox1);
    DBCheckBox2 = new controls::DBCheckBox(QStringLiteral("Completed"), GroupBox1);
    DBCheckBox2->bind(&dm_.StrategySource, QStringLiteral("Compleated"));
    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(DBEdit1);
    numberRow->addSpacing(16);
    numberRow->addWidget(Label8);
    numberRow->addWidget(DBEdit3);
    numberRow->addWidget(DateBtn);
    numberRow->addWidget(ResetBtn);
    numberRow->addSpacing(16);
    numberRow->addWidget(DBCheckBox2);
    numberRow->addStretch();
    grid->addWidget(Label3, row, 0);
    grid->addLayout(numberRow, row++, 1);

    auto memo = [&](const char* field) {
        auto* m = new controls::DBMemo(GroupBox1);
        m->bind(&dm_.StrategySource, QString::fromLatin1(field));
        m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        m->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        m->setTabChangesFocus(true);
        m->setFixedHeight(m->fontMetrics().lineSpacing() * 4 + 10);
        memos_ << m;
        return m;
    };
    Label4 = label("Strategy:", true);
    DBMemo1 = memo("StrategyDescription");
    grid->addWidget(Label4, row, 0);
    grid->addWidget(DBMemo1, row++, 1);
    Label5 = label("Responsibility", true);
    DBMemo2 = memo("Responsibility");
    grid->addWidget(Label5, row, 0);
    grid->addWidget(DBMemo2, row++, 1);
    Label6 = label("Deliverable", true);
    DBMemo3 = memo("Deliverable");
    grid->addWidget(Label6, row, 0);
    grid->addWidget(DBMemo3, row++, 1);
    Label7 = label("Measurement:", true);
    DBMemo4 = memo("Measurement");
    MeasureBtn = controls::button(QStringLiteral("Deliverable/Measurement Items"), GroupBox1);
    auto* measureCell = new QHBoxLayout;
    measureCell->addWidget(DBMemo4, 1);
    measureCell->addWidget(MeasureBtn);
    measureCell->addStretch(); // the button keeps its own width where the memo is hidden
    grid->addWidget(Label7, row, 0);
    grid->addLayout(measureCell, row++, 1);
    Label9 = label("Additional Resources", true);
    Label13 = label("or Reallocation: (If Any)", true);
    DBMemo5 = memo("AddationalResources");
    auto* resourcesCaption = new QVBoxLayout;
    resourcesCaption->setSpacing(0);
    resourcesCaption->addWidget(Label9);
    resourcesCaption->addWidget(Label13);
    resourcesCaption->addStretch();
    grid->addLayout(resourcesCaption, row, 0);
    grid->addWidget(DBMemo5, row++, 1);
    Label10 = label("Comments/Status:", true);
    DBMemo6 = memo("CommentsStatus");
    grid->addWidget(Label10, row, 0);
    grid->addWidget(DBMemo6, row++, 1);

    Label11 = label("Modified By:");
    DBLookupComboBox2 = new controls::DBLookupComboBox(GroupBox1);
    DBLookupComboBox2->setList(userNamesSource_, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    DBLookupComboBox2->bind(&dm_.StrategySource, QStringLiteral("ModifiedBy"));
    controls::setControlEnabled(DBLookupComboBox2, false);
    DBEdit2 = new controls::DBEdit(GroupBox1);
    DBEdit2->bind(&dm_.StrategySource, QStringLiteral("ModifiedDate"));
    controls::setControlEnabled(DBEdit2, false);
    DBEdit2->setFixedWidth(DBEdit2->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) +
                           16);
    auto* modifiedRow = new QHBoxLayout;
    modifiedRow->addWidget(DBLookupComboBox2, 1);
    modifiedRow->addWidget(DBEdit2);
    grid->addWidget(Label11, row, 0);
    grid->addLayout(modifiedRow, row++, 1);

    DBCheckBox1 = new controls::DBCheckBox(QStringLiteral("Do Not Print This Strategy"), GroupBox1);
    DBCheckBox1->bind(&dm_.StrategySource, QStringLiteral("DoNotPrint"));
    grid->addWidget(DBCheckBox1, row++, 1);
    for (int r = 0; r < row; ++r)
        if (QLayoutItem* it = grid->itemAtPosition(r, 0))
            if (it->widget()) it->widget()->setMinimumWidth(0);
    lay->addWidget(GroupBox1);

    auto* buttons = new QHBoxLayout;
    PreviewBtn = controls::button(QStringLiteral("Preview"), this);
    PrintBtn = controls::button(QStringLiteral("Print"), this);
    SaveBtn = controls::button(QStringLiteral("Save"), this);
    BitBtn1 = controls::button(QStringLiteral("Cancel"), this);
    buttons->addWidget(HelpBtn);
    buttons->addStretch();
    for (QPushButton* b : {PreviewBtn, PrintBtn, SaveBtn, BitBtn1})
        buttons->addWidget(b);
    lay->addLayout(buttons);

    // Focus runs from the completion date through the texts to the do-not-print mark; the date
    // buttons and the window's buttons follow.
    QWidget* chain[] = {DBEdit3,    DBCheckBox2, DBMemo1, DBMemo2,     DBMemo3, DBMemo4,
                        MeasureBtn, DBMemo5,     DBMemo6, DBCheckBox1, DateBtn, ResetBtn,
                        PreviewBtn, PrintBtn,    SaveBtn, BitBtn1,     HelpBtn};
    for (size_t i = 1; i < std::size(chain); ++i)
        setTabOrder(chain[i - 1], chain[i]);
    DBEdit3->setFocus();

    connect(DateBtn, &QToolButton::clicked, this, controls::handler([this] { DateBtnClick(); }));
    connect(ResetBtn, &QPushButton::clicked, this, controls::handler([this] { ResetBtnClick(); }));
    connect(SaveBtn, &QPushButton::clicked, this, controls::handler([this] { SaveBtnClick(); }));
    connect(BitBtn1, &QPushButton::clicked, this, controls::handler([this] { BitBtn1Click(); }));
    connect(MeasureBtn, &QPushButton::clicked, this, controls::handler([this] { MeasureBtnClick(); }));
    connect(PrintBtn, &QPushButton::clicked, this, controls::handler([this] { PrintBtnClick(); }));
    connect(PreviewBtn, &QPushButton::clicked, this, controls::handler([this] { PreviewBtnClick(); }));
    connect(this, &controls::Screen::activated, this, controls::handler([this] { FormActivate(); }));
    connect(&dm_.StrategySource, &engine::DataSource::changed, this, [this] {
        if (!dm_.StrategyTable.isEditing()) shown_ = shownValues();
    });

    FormCreate();
    shown_ = shownValues();
    adjustSize();
    setFixedSize(sizeHint().expandedTo(QSize(640, 0)));
}

void StrategyEditor::FormCreate() {
    HelpBtn->setVisible(controls::helpFileExists());
    const bool multiple = dm_.user().settings.multipleMeasures;
    Label6->setVisible(!multiple);
    DBMemo3->setVisible(!multiple);
    DBMemo4->setVisible(!multiple);
    MeasureBtn->setVisible(multiple);
}

void StrategyEditor::showEvent(QShowEvent* e) {
    controls::Screen::showEvent(e);
    // Decided again on showing, so that the editor is never editable for a viewer even where
    // the window system does not activate it.
    if (!e->spontaneous()) controls::guarded([this] { FormActivate(); });
}

void StrategyEditor::loadUserNames() {
    engine::Table& s = dm_.StrategyTable;
    sql::IntList users;
    users.values << dm_.strategySelection().user << dm_.user().number;
    for (const char* f : {"UserNumber", "ModifiedBy"})
        if (!s.field(QString::fromLatin1(f)).isNull())
            users.values << s.field(QString::fromLatin1(f)).asInteger();
    userNames_->close();
    userNames_->clear();
    userNames_->add("Select UserNumber, UserName From \"User.db\" Where UserNumber In ", users);
    userNames_->open();
}

void StrategyEditor::FormActivate() {
    loadUserNames();
    Edit1->setText(dm_.UserDepartmentName(dm_.strategySelection().user));
    const engine::Field owner = dm_.StrategyTable.field(QStringLiteral("UserNumber"));
    SetReadOnly(!dm_.user().mayEdit(owner.isNull() ? -1 : owner.asInt()));
}

void StrategyEditor::SetReadOnly(bool flag) {
    readOnly_ = flag;
    for (controls::DBMemo* m : memos_) {
        m->setReadOnly(flag);
        controls::paintReadOnly(m, flag);
    }
    DBEdit3->setDataReadOnly(flag);
    controls::paintReadOnly(DBEdit3, flag);
    for (QWidget* w : std::initializer_list<QWidget*>{DateBtn, ResetBtn, DBCheckBox1, DBCheckBox2, SaveBtn})
        w->setEnabled(!flag);
}

void StrategyEditor::DateBtnClick() {
    SelectDateInto(dm_.StrategyTable, QStringLiteral("CompleationDate"), this);
}

void StrategyEditor::ResetBtnClick() {
    engine::Table& s = dm_.StrategyTable;
    s.edit();
    s.field(QStringLiteral("CompleationDate")).clear();
}

void StrategyEditor::SaveBtnClick() {
    engine::Table& s = dm_.StrategyTable;
    DBEdit3->commit();
    if (s.isEditing())
        storeStrategy();
    else if (typingNotStored()) {
        storeRefusedTyping();
        if (s.isEditing()) return; // both workstations changed a text: the person looks again
    }
    accept();
}

// A new strategy takes its number when it is stored; another workstation may have stored one
// with the number shown here in the meantime.
void StrategyEditor::storeStrategy() {
    engine::Table& s = dm_.StrategyTable;
    const bool inserting = s.state() == engine::DataSet::State::Insert;
    const QString shown = s.field(QStringLiteral("StrategyNumber")).asString();
    s.post();
    const QString stored = s.field(QStringLiteral("StrategyNumber")).asString();
    if (!inserting || stored == shown) return;
    controls::messageBox(
        QStringLiteral("Strategy # %1 was taken by another user meanwhile. This Strategy was "
                       "saved as Strategy # %2.")
            .arg(shown, stored),
        controls::Icon::Information, controls::Buttons::Ok);
}

QVariantList StrategyEditor::shownValues() const {
    QVariantList values;
    engine::Table& s = dm_.StrategyTable;
    if (!s.isOpen()) return values;
    for (const char* f : kMemoFields)
        values << s.field(QString::fromLatin1(f)).asString();
    return values;
}

bool StrategyEditor::typingNotStored() const {
    if (readOnly_ || dm_.StrategyTable.isEditing()) return false;
    const QVariantList stored = shownValues();
    for (int i = 0; i < memos_.size() && i < stored.size(); ++i)
        if (memos_[i]->toPlainText() != stored[i].toString()) return true;
    return false;
}

// Typing into a row that another workstation was editing could not start an edit here, so
// the memos hold text the row never got. Now that the row may be free, the typing is written
// where the stored text is still the one the person saw; a text changed meanwhile by the other
// workstation is shown as stored, never overwritten.
void StrategyEditor::storeRefusedTyping() {
    engine::Table& s = dm_.StrategyTable;
    QStringList typed;
    for (controls::DBMemo* m : memos_)
        typed << m->toPlainText();
    const QVariantList seen = shown_;
    s.edit(); // the row is read afresh and locked, or the lock error goes to the person
    const QVariantList fresh = shownValues();
    bool conflict = false;
    for (int i = 0; i < typed.size() && i < seen.size() && i < fresh.size(); ++i) {
        if (typed[i] == seen[i].toString()) continue;
        if (fresh[i] != seen[i]) {
            conflict = true;
            continue;
        }
        s.field(QString::fromLatin1(kMemoFields[i])).setValue(typed[i]);
    }
    if (conflict) {
        controls::messageBox(QStringLiteral("This Strategy was changed by another user while your changes "
                                            "could not be stored. Where you both changed a text, the "
                                            "stored text is shown again."),
                             controls::Icon::Warning, controls::Buttons::Ok);
        return;
    }
    s.post();
}

void StrategyEditor::BitBtn1Click() {
    dm_.StrategyTable.cancel();
    reject();
}

void StrategyEditor::FormClose() {
    dm_.StrategyTable.cancel();
}

void StrategyEditor::done(int result) {
    if (!closed_) {
        closed_ = true;
        controls::guarded([this] { FormClose(); });
    }
    controls::Screen::done(result);
}

void StrategyEditor::MeasureBtnClick() {
    openMeasurementItems();
}

void StrategyEditor::openMeasurementItems() {
    engine::Table& s = dm_.StrategyTable;
    // The items hang on the strategy's key, which exists only once the strategy is stored;
    // when storing fails the items stay closed.
    DBEdit3->commit();
    if (s.isEditing()) storeStrategy();
    MeasurementsWindow items(dm_, this);
    controls::showModal(items);
}

void StrategyEditor::PrintBtnClick() {
    printStrategy(false);
}

void StrategyEditor::PreviewBtnClick() {
    printStrategy(true);
}

void StrategyEditor::printStrategy(bool preview) {
    engine::Table& s = dm_.StrategyTable;
    // The mark as shown counts, saved or not.
    if (s.field(QStringLiteral("DoNotPrint")).asBoolean()) {
        controls::showError(QStringLiteral("This Strategy Has Been Marked As Do Not Print!"));
        return;
    }
    QPrinter* printer = nullptr;
    if (!preview) {
        printer = &printing::currentPrinter();
        if (!controls::dialogs().print(*printer, this)) return;
    }
    // The report shows the stored strategy; one not stored yet has nothing to print.
    if (s.field(QStringLiteral("StrategyID")).isNull()) return;
    PrepareStrategyQuery();
    RunStrategyReport(dm_, strategyQuery, preview || !dm_.user().settings.sendToPrinter ? nullptr : printer,
                      QString(), this);
}

void StrategyEditor::PrepareStrategyQuery() {
    const qint64 id = dm_.StrategyTable.field(QStringLiteral("StrategyID")).asInteger();
    engine::Query& q = strategyQuery;
    BeginStrategyQuery(q);
    q.add("S.StrategyID = ", sql::Int{id});
    q.prepare();
    q.open();
}
