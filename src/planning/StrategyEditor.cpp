#include "planning/StrategyEditor.h"

#include "controls/DateEdit.h"
#include "controls/Desktop.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "engine/DataSource.h"
#include "engine/Query.h"
#include "planning/HistoryButtons.h"
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

namespace planning {

namespace sql = engine::sql;

namespace {

const char* const kMemoFields[] = {"StrategyDescription", "Responsibility",      "Deliverable",
                                   "Measurement",         "AddationalResources", "CommentsStatus"};

} // namespace

StrategyEditor::StrategyEditor(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), strategyQuery(dm.goalDatabase), dm_(dm) {
    setWindowTitle(QStringLiteral("Strategy Edit"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    // The user boxes are never dropped down (they are disabled): they list only the users the
    // strategy can name, not every user of the organisation.
    userNames_ = new engine::Query(dm_.goalDatabase, this);
    userNamesSource_ = new engine::DataSource(userNames_, this);
    loadUserNames();

    auto* lay = new QVBoxLayout(this);
    detailGroup = new QGroupBox(QStringLiteral("Detail"), this);
    auto* grid = new QGridLayout(detailGroup);
    grid->setColumnStretch(1, 1);
    int row = 0;
    buildOwnerRows(grid, row);
    buildNumberRow(grid, row);
    buildMemoRows(grid, row);
    buildModifiedRows(grid, row);
    for (int r = 0; r < row; ++r)
        if (QLayoutItem* it = grid->itemAtPosition(r, 0))
            if (it->widget()) it->widget()->setMinimumWidth(0);
    lay->addWidget(detailGroup);
    buildButtonBar(lay);
    setFocusChain();
    connectSignals();

    onCreate();
    shown_ = shownValues();
    adjustSize();
    setFixedSize(sizeHint().expandedTo(QSize(640, 0)));
}

QLabel* StrategyEditor::caption(const char* text, bool memoCaption) {
    // Captions of one-line boxes sit level with the box, those of memos at their top.
    auto* l = new QLabel(QString::fromLatin1(text), detailGroup);
    l->setAlignment(Qt::AlignLeft | (memoCaption ? Qt::AlignTop : Qt::AlignVCenter));
    return l;
}

void StrategyEditor::buildOwnerRows(QGridLayout* grid, int& row) {
    userLabel = caption("User:");
    userBox = new controls::LookupComboBox(detailGroup);
    userBox->setList(userNamesSource_, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    userBox->bind(&dm_.strategySource, QStringLiteral("UserNumber"));
    controls::setControlEnabled(userBox, false);
    controls::addGridRow(grid, row++, userLabel, userBox);

    departmentLabel = caption("Department:");
    departmentEdit = new QLineEdit(detailGroup);
    departmentEdit->setReadOnly(true);
    departmentEdit->setFocusPolicy(Qt::NoFocus);
    controls::paintReadOnly(departmentEdit, true);
    controls::addGridRow(grid, row++, departmentLabel, departmentEdit);

    goalLabel = caption("Goal:");
    goalEdit = new controls::FieldEdit(detailGroup);
    goalEdit->bind(&dm_.goalsSource, QStringLiteral("GoalDescription"));
    goalEdit->setDataReadOnly(true);
    goalEdit->setFocusPolicy(Qt::NoFocus);
    controls::paintReadOnly(goalEdit, true);
    controls::addGridRow(grid, row++, goalLabel, goalEdit);
}

void StrategyEditor::buildNumberRow(QGridLayout* grid, int& row) {
    numberLabel = caption("Strategy #:");
    numberEdit = new controls::FieldEdit(detailGroup);
    numberEdit->bind(&dm_.strategySource, QStringLiteral("StrategyNumber"));
    controls::setControlEnabled(numberEdit, false);
    numberEdit->setFixedWidth(numberEdit->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
    completionDateLabel = new QLabel(QStringLiteral("Completion Date:"), detailGroup);
    completionDateEdit = new controls::DBDateEdit(detailGroup);
    completionDateEdit->bind(&dm_.strategySource, QStringLiteral("CompleationDate"));
    completionDateEdit->setFixedWidth(
        completionDateEdit->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 16);
    completionDateLabel->setBuddy(completionDateEdit);
    dateButton = new QToolButton(detailGroup);
    dateButton->setIcon(selectDateIcon());
    dateButton->setToolTip(QStringLiteral("Select Date"));
    resetButton = controls::button(QStringLiteral("Reset"), detailGroup);
    completedBox = new controls::FieldCheckBox(QStringLiteral("Completed"), detailGroup);
    completedBox->bind(&dm_.strategySource, QStringLiteral("Compleated"));
    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(numberEdit);
    numberRow->addSpacing(16);
    numberRow->addWidget(completionDateLabel);
    numberRow->addWidget(completionDateEdit);
    numberRow->addWidget(dateButton);
    numberRow->addWidget(resetButton);
    numberRow->addSpacing(16);
    numberRow->addWidget(completedBox);
    numberRow->addStretch();
    controls::addGridRow(grid, row++, numberLabel, numberRow);
}

controls::FieldMemo* StrategyEditor::memo(const char* field) {
    auto* m = new controls::FieldMemo(detailGroup);
    m->bind(&dm_.strategySource, QString::fromLatin1(field));
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m->setTabChangesFocus(true);
    m->setFixedHeight(m->fontMetrics().lineSpacing() * 4 + 10);
    memos_ << m;
    return m;
}

void StrategyEditor::buildMemoRows(QGridLayout* grid, int& row) {
    strategyLabel = caption("Strategy:", true);
    strategyMemo = memo("StrategyDescription");
    controls::addGridRow(grid, row++, strategyLabel, strategyMemo);
    responsibilityLabel = caption("Responsibility", true);
    responsibilityMemo = memo("Responsibility");
    controls::addGridRow(grid, row++, responsibilityLabel, responsibilityMemo);
    deliverableLabel = caption("Deliverable", true);
    deliverableMemo = memo("Deliverable");
    controls::addGridRow(grid, row++, deliverableLabel, deliverableMemo);
    measurementLabel = caption("Measurement:", true);
    measurementMemo = memo("Measurement");
    measureButton = controls::button(QStringLiteral("Deliverable/Measurement Items"), detailGroup);
    auto* measureCell = new QHBoxLayout;
    measureCell->addWidget(measurementMemo, 1);
    measureCell->addWidget(measureButton);
    measureCell->addStretch(); // the button keeps its own width where the memo is hidden
    controls::addGridRow(grid, row++, measurementLabel, measureCell);
    resourcesLabel = caption("Additional Resources", true);
    reallocationLabel = caption("or Reallocation: (If Any)", true);
    resourcesMemo = memo("AddationalResources");
    auto* resourcesCaption = new QVBoxLayout;
    resourcesCaption->setSpacing(0);
    resourcesCaption->addWidget(resourcesLabel);
    resourcesCaption->addWidget(reallocationLabel);
    resourcesCaption->addStretch();
    grid->addLayout(resourcesCaption, row, 0);
    grid->addWidget(resourcesMemo, row++, 1);
    commentsLabel = caption("Comments/Status:", true);
    commentsMemo = memo("CommentsStatus");
    controls::addGridRow(grid, row++, commentsLabel, commentsMemo);
}

void StrategyEditor::buildModifiedRows(QGridLayout* grid, int& row) {
    modifiedByLabel = caption("Modified By:");
    modifiedByBox = new controls::LookupComboBox(detailGroup);
    modifiedByBox->setList(userNamesSource_, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    modifiedByBox->bind(&dm_.strategySource, QStringLiteral("ModifiedBy"));
    controls::setControlEnabled(modifiedByBox, false);
    modifiedDateEdit = new controls::FieldEdit(detailGroup);
    modifiedDateEdit->bind(&dm_.strategySource, QStringLiteral("ModifiedDate"));
    controls::setControlEnabled(modifiedDateEdit, false);
    modifiedDateEdit->setFixedWidth(
        modifiedDateEdit->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) + 16);
    auto* modifiedRow = new QHBoxLayout;
    modifiedRow->addWidget(modifiedByBox, 1);
    modifiedRow->addWidget(modifiedDateEdit);
    controls::addGridRow(grid, row++, modifiedByLabel, modifiedRow);

    doNotPrintBox = new controls::FieldCheckBox(QStringLiteral("Do Not Print This Strategy"), detailGroup);
    doNotPrintBox->bind(&dm_.strategySource, QStringLiteral("DoNotPrint"));
    grid->addWidget(doNotPrintBox, row++, 1);
}

void StrategyEditor::buildButtonBar(QVBoxLayout* lay) {
    previewButton = controls::button(QStringLiteral("Preview"), this);
    printButton = controls::button(QStringLiteral("Print"), this);
    saveButton = controls::button(QStringLiteral("Save"), this);
    cancelButton = controls::button(QStringLiteral("Cancel"), this);
    auto* buttons = controls::buttonBar(helpButton, {previewButton, printButton, saveButton, cancelButton});
    lay->addLayout(buttons);
    addStrategyHistoryButton(dm_, *this, *buttons, previewButton);
}

void StrategyEditor::setFocusChain() {
    // Focus runs from the completion date through the texts to the do-not-print mark; the date
    // buttons and the window's buttons follow.
    QWidget* chain[] = {completionDateEdit, completedBox,  strategyMemo,  responsibilityMemo, deliverableMemo,
                        measurementMemo,    measureButton, resourcesMemo, commentsMemo,       doNotPrintBox,
                        dateButton,         resetButton,   previewButton, printButton,        saveButton,
                        cancelButton,       helpButton};
    for (size_t i = 1; i < std::size(chain); ++i)
        setTabOrder(chain[i - 1], chain[i]);
    completionDateEdit->setFocus();
}

void StrategyEditor::connectSignals() {
    connect(dateButton, &QToolButton::clicked, this, controls::handler(this, [this] { dateClicked(); }));
    connect(resetButton, &QPushButton::clicked, this, controls::handler(this, [this] { resetClicked(); }));
    connect(saveButton, &QPushButton::clicked, this, controls::handler(this, [this] { saveClicked(); }));
    connect(cancelButton, &QPushButton::clicked, this, controls::handler(this, [this] { cancelEdit(); }));
    connect(measureButton, &QPushButton::clicked, this,
            controls::handler(this, [this] { measureClicked(); }));
    connect(printButton, &QPushButton::clicked, this, controls::handler(this, [this] { printClicked(); }));
    connect(previewButton, &QPushButton::clicked, this,
            controls::handler(this, [this] { previewClicked(); }));
    connect(this, &controls::Screen::activated, this, controls::handler(this, [this] { onActivate(); }));
    connect(&dm_.strategySource, &engine::DataSource::changed, this, [this] {
        if (!dm_.strategyTable.isEditing()) shown_ = shownValues();
    });
}

void StrategyEditor::onCreate() {
    const bool multiple = dm_.user().settings.multipleMeasures;
    deliverableLabel->setVisible(!multiple);
    deliverableMemo->setVisible(!multiple);
    measurementMemo->setVisible(!multiple);
    measureButton->setVisible(multiple);
}

void StrategyEditor::showEvent(QShowEvent* e) {
    controls::Screen::showEvent(e);
    // Decided again on showing, so that the editor is never editable for a viewer even where
    // the window system does not activate it.
    if (!e->spontaneous()) controls::guarded(this, [this] { onActivate(); });
}

void StrategyEditor::loadUserNames() {
    engine::Table& s = dm_.strategyTable;
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

void StrategyEditor::onActivate() {
    loadUserNames();
    departmentEdit->setText(dm_.userDepartmentName(dm_.strategySelection().user));
    const engine::Field owner = dm_.strategyTable.field(QStringLiteral("UserNumber"));
    setReadOnly(!dm_.user().mayEdit(owner.isNull() ? -1 : owner.asInt()));
}

void StrategyEditor::setReadOnly(bool flag) {
    readOnly_ = flag;
    for (controls::FieldMemo* m : memos_) {
        m->setReadOnly(flag);
        controls::paintReadOnly(m, flag);
    }
    completionDateEdit->setDataReadOnly(flag);
    controls::paintReadOnly(completionDateEdit, flag);
    for (QWidget* w :
         std::initializer_list<QWidget*>{dateButton, resetButton, doNotPrintBox, completedBox, saveButton})
        w->setEnabled(!flag);
}

void StrategyEditor::dateClicked() {
    selectDateInto(dm_.strategyTable, QStringLiteral("CompleationDate"), desktop(), this);
}

void StrategyEditor::resetClicked() {
    engine::Table& s = dm_.strategyTable;
    s.edit();
    s.field(QStringLiteral("CompleationDate")).clear();
}

void StrategyEditor::saveClicked() {
    engine::Table& s = dm_.strategyTable;
    completionDateEdit->commit();
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
    engine::Table& s = dm_.strategyTable;
    const bool inserting = s.state() == engine::DataSet::State::Insert;
    const QString shown = s.field(QStringLiteral("StrategyNumber")).asString();
    s.post();
    const QString stored = s.field(QStringLiteral("StrategyNumber")).asString();
    if (!inserting || stored == shown) return;
    desktop().messageBox(
        QStringLiteral("Strategy # %1 was taken by another user meanwhile. This Strategy was "
                       "saved as Strategy # %2.")
            .arg(shown, stored),
        controls::Icon::Information, controls::Buttons::Ok);
}

QVariantList StrategyEditor::shownValues() const {
    QVariantList values;
    engine::Table& s = dm_.strategyTable;
    if (!s.isOpen()) return values;
    for (const char* f : kMemoFields)
        values << s.field(QString::fromLatin1(f)).asString();
    return values;
}

bool StrategyEditor::typingNotStored() const {
    if (readOnly_ || dm_.strategyTable.isEditing()) return false;
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
    engine::Table& s = dm_.strategyTable;
    QStringList typed;
    for (controls::FieldMemo* m : memos_)
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
        desktop().messageBox(QStringLiteral("This Strategy was changed by another user while your changes "
                                            "could not be stored. Where you both changed a text, the "
                                            "stored text is shown again."),
                             controls::Icon::Warning, controls::Buttons::Ok);
        return;
    }
    s.post();
}

void StrategyEditor::cancelEdit() {
    dm_.strategyTable.cancel();
    reject();
}

void StrategyEditor::onClose() {
    dm_.strategyTable.cancel();
}

void StrategyEditor::done(int result) {
    if (!closed_) {
        closed_ = true;
        controls::guarded(this, [this] { onClose(); });
    }
    controls::Screen::done(result);
}

void StrategyEditor::measureClicked() {
    openMeasurementItems();
}

void StrategyEditor::openMeasurementItems() {
    engine::Table& s = dm_.strategyTable;
    // The items hang on the strategy's key, which exists only once the strategy is stored;
    // when storing fails the items stay closed.
    completionDateEdit->commit();
    if (s.isEditing()) storeStrategy();
    MeasurementsWindow items(dm_, desktop(), this);
    desktop().showModal(items);
}

void StrategyEditor::printClicked() {
    printStrategy(false);
}

void StrategyEditor::previewClicked() {
    printStrategy(true);
}

void StrategyEditor::printStrategy(bool preview) {
    engine::Table& s = dm_.strategyTable;
    // The mark as shown counts, saved or not.
    if (s.field(QStringLiteral("DoNotPrint")).asBoolean()) {
        desktop().showError(QStringLiteral("This Strategy Has Been Marked As Do Not Print!"));
        return;
    }
    QPrinter* printer = nullptr;
    if (!preview) {
        printer = &printing::currentPrinter();
        if (!desktop().dialogs().print(*printer, this)) return;
    }
    // The report shows the stored strategy; one not stored yet has nothing to print.
    if (s.field(QStringLiteral("StrategyID")).isNull()) return;
    prepareStrategyQuery();
    reports::runStrategyReport(dm_, strategyQuery,
                               preview || !dm_.user().settings.sendToPrinter ? nullptr : printer, QString(),
                               desktop(), this);
}

void StrategyEditor::prepareStrategyQuery() {
    const qint64 id = dm_.strategyTable.field(QStringLiteral("StrategyID")).asInteger();
    engine::Query& q = strategyQuery;
    reports::beginStrategyQuery(q);
    q.add("S.StrategyID = ", sql::Int{id});
    q.prepare();
    q.open();
}

} // namespace planning
