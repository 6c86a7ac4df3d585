#include "planning/MoveStrategiesDialog.h"

#include "controls/DataControls.h"
#include "controls/ErrorHandler.h"
#include "controls/Plain.h"
#include "data/DataModule.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <limits>

MoveStrategiesDialog::MoveStrategiesDialog(DataModule& dm, QWidget* parent) : QDialog(parent), dm_(dm) {
    setWindowTitle(QStringLiteral("Move Strategy"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    auto* lay = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    Label1 = new QLabel(QStringLiteral("Move User"), this);
    DBLookupComboBox1 = new controls::DBLookupComboBox(this);
    DBLookupComboBox1->setList(&dm_.VisibleUsersSource, QStringLiteral("UserNumber"),
                               QStringLiteral("UserName"));
    DBLookupComboBox1->setKeyValue(QVariant());
    DBLookupComboBox1->setMinimumWidth(220);
    Label1->setBuddy(DBLookupComboBox1);
    Label2 = new QLabel(QStringLiteral("Number"), this);
    // A strategy number is a whole number from 1 up; 0 lets the dialog number the strategy.
    SpinEdit1 = new controls::SpinBox(0, std::numeric_limits<int>::max(), this);
    SpinEdit1->setValue(0);
    Label2->setBuddy(SpinEdit1);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(DBLookupComboBox1, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(SpinEdit1, 1, 1, Qt::AlignLeft);
    lay->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    BitBtn2 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn2->setDefault(true);
    BitBtn1 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn1->setAutoDefault(false);
    buttons->addStretch();
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn1);
    lay->addLayout(buttons);
    // OK closes the dialog whatever its handler did.
    connect(BitBtn2, &QPushButton::clicked, this, [this] {
        controls::guarded([this] { BitBtn2Click(); });
        accept();
    });
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(sizeHint());
}

void MoveStrategiesDialog::BitBtn2Click() {
    const QVariant chosen = DBLookupComboBox1->keyValue();
    if (!chosen.isValid() || chosen.isNull()) return;
    engine::Table& s = dm_.StrategyTable;
    // With no strategy listed an edit would begin a blank one for the target: nothing to move.
    if (s.isEmpty() || s.field(QStringLiteral("StrategyID")).isNull()) return;
    const int target = chosen.toInt();
    s.edit();
    try {
        s.field(QStringLiteral("UserNumber")).setValue(target);
        const int typed = SpinEdit1->value();
        // Without a typed number the row takes the target's next one as it is stored, where no
        // other workstation can take the same one.
        s.field(QStringLiteral("StrategyNumber")).setValue(typed != 0 ? QVariant(typed) : QVariant());
        s.post();
    } catch (...) {
        // The dialog closes either way; a move that was not stored is not left half-made.
        s.cancel();
        throw;
    }
}
