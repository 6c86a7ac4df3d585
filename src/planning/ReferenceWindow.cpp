#include "planning/ReferenceWindow.h"

#include "controls/DataGrid.h"
#include "controls/Desktop.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/FieldEdit.h"
#include "controls/LookupComboBox.h"
#include "data/DataModule.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace planning {

namespace {
// A kind whose id is not disabled lets the id and the modified date take focus and be copied;
// only typing into them is refused.
void lockField(controls::FieldEdit* edit, bool disable) {
    if (disable) {
        controls::setControlEnabled(edit, false);
    } else {
        edit->setDataReadOnly(true);
        controls::paintReadOnly(edit, true);
    }
}
} // namespace

ReferenceWindow::ReferenceWindow(data::DataModule& dm, const Kind& kind, controls::Desktop& desktop,
                                 QWidget* parent)
    : controls::Screen(desktop, parent), kind_(kind), dm_(dm) {
    setWindowTitle(kind.title);
    if (!kind.resizable)
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                       Qt::MSWindowsFixedSizeDialogHint);
    auto* lay = new QVBoxLayout(this);
    itemGrid = new controls::DataGrid(this);
    itemGrid->bind(
        kind.source,
        {{kind.idField, QStringLiteral("ID"), 6}, {kind.descriptionField, QStringLiteral("Description")}},
        !kind.listEditable);
    lay->addWidget(itemGrid, 1);
    buildDetailGroup(lay);

    deleteButton = controls::button(QStringLiteral("Delete"), this);
    insertButton = controls::button(QStringLiteral("Insert"), this);
    saveButton = controls::button(QStringLiteral("Save"), this);
    closeButton = controls::button(QStringLiteral("Close"), this);
    lay->addLayout(controls::buttonBar(helpButton, {deleteButton, insertButton, saveButton, closeButton}));
    connect(insertButton, &QPushButton::clicked, this, controls::handler(this, [this] { insertClicked(); }));
    connect(saveButton, &QPushButton::clicked, this, controls::handler(this, [this] { saveClicked(); }));
    connect(deleteButton, &QPushButton::clicked, this, controls::handler(this, [this] { deleteClicked(); }));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(kind.source, &engine::DataSource::changed, this, [this] { updateButtons(); });
    onCreate();
    if (kind.resizable)
        resize(480, 420);
    else
        setFixedSize(480, 420);
}

void ReferenceWindow::buildDetailGroup(QVBoxLayout* lay) {
    detailGroup = new QGroupBox(kind_.frameCaption, this);
    auto* grid = new QGridLayout(detailGroup);
    idLabel = new QLabel(QStringLiteral("ID:"), detailGroup);
    idEdit = new controls::FieldEdit(detailGroup);
    idEdit->bind(kind_.source, kind_.idField);
    lockField(idEdit, kind_.idDisabled);
    descriptionLabel = new QLabel(QStringLiteral("Description:"), detailGroup);
    descriptionEdit = new controls::FieldEdit(detailGroup);
    descriptionEdit->bind(kind_.source, kind_.descriptionField);
    modifiedByLabel = new QLabel(QStringLiteral("Modified By:"), detailGroup);
    modifiedByBox = new controls::LookupComboBox(detailGroup);
    modifiedByBox->setList(&dm_.userSettingsSource, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    modifiedByBox->bind(kind_.source, QStringLiteral("ModifiedBy"));
    controls::setControlEnabled(modifiedByBox, false);
    modifiedDateEdit = new controls::FieldEdit(detailGroup);
    modifiedDateEdit->bind(kind_.source, QStringLiteral("ModifiedDate"));
    lockField(modifiedDateEdit, kind_.idDisabled);
    idLabel->setBuddy(idEdit);
    descriptionLabel->setBuddy(descriptionEdit);
    controls::addGridRow(grid, 0, idLabel, idEdit);
    grid->addWidget(descriptionLabel, 1, 0);
    grid->addWidget(descriptionEdit, 1, 1, 1, 2);
    controls::addGridRow(grid, 2, modifiedByLabel, modifiedByBox);
    grid->addWidget(modifiedDateEdit, 2, 2);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    lay->addWidget(detailGroup);
}

ReferenceWindow::~ReferenceWindow() {
    // A cell edit still open in the grid is written while the children go; this part of the
    // window is gone by then and must hear nothing of it.
    disconnect(kind_.source, nullptr, this, nullptr);
}

void ReferenceWindow::onCreate() {
    updateButtons();
}

void ReferenceWindow::updateButtons() {
    engine::Table& t = *kind_.table;
    const bool shown = t.isOpen() && !t.isEmpty(); // a record being inserted counts as shown
    saveButton->setEnabled(shown);
    deleteButton->setEnabled(shown);
}

void ReferenceWindow::insertClicked() {
    kind_.table->insert();
}

void ReferenceWindow::saveClicked() {
    if (kind_.table->isEmpty()) return; // stores only what Insert began, never a blank record
    kind_.table->edit();
    kind_.table->post();
}

void ReferenceWindow::deleteClicked() {
    if (desktop().confirm(kind_.deleteQuestion)) kind_.table->remove();
}

void ReferenceWindow::onClose() {
    kind_.table->cancel();
}

void ReferenceWindow::done(int result) {
    if (!closed_) {
        closed_ = true;
        controls::guarded(this, [this] { onClose(); });
    }
    controls::Screen::done(result);
}

} // namespace planning
