#include "planning/MoveStrategiesDialog.h"

#include "controls/ErrorHandler.h"
#include "controls/LookupComboBox.h"
#include "controls/Screen.h"
#include "controls/SpinBox.h"
#include "data/DataModule.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <limits>

namespace planning {

MoveStrategiesDialog::MoveStrategiesDialog(data::DataModule& dm, QWidget* parent) : QDialog(parent), dm_(dm) {
    setWindowTitle(QStringLiteral("Move Strategy"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    auto* lay = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    userLabel = new QLabel(QStringLiteral("Move User"), this);
    userBox = new controls::LookupComboBox(this);
    userBox->setList(&dm_.visibleUsersSource, QStringLiteral("UserNumber"), QStringLiteral("UserName"));
    userBox->setKeyValue(QVariant());
    userBox->setMinimumWidth(220);
    userLabel->setBuddy(userBox);
    numberLabel = new QLabel(QStringLiteral("Number"), this);
    // A strategy number is a whole number from 1 up; 0 lets the dialog number the strategy.
    numberSpin = new controls::SpinBox(0, std::numeric_limits<int>::max(), this);
    numberSpin->setValue(0);
    numberLabel->setBuddy(numberSpin);
    grid->addWidget(userLabel, 0, 0);
    grid->addWidget(userBox, 0, 1);
    grid->addWidget(numberLabel, 1, 0);
    grid->addWidget(numberSpin, 1, 1, Qt::AlignLeft);
    lay->addLayout(grid);
    lay->addLayout(controls::acceptBar(this, QStringLiteral("OK"), okButton, cancelButton));
    // OK closes the dialog whatever its handler did.
    connect(okButton, &QPushButton::clicked, this, [this] {
        controls::guarded(this, [this] { moveStrategies(); });
        accept();
    });
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    setFixedSize(sizeHint());
}

void MoveStrategiesDialog::moveStrategies() {
    const QVariant chosen = userBox->keyValue();
    if (!chosen.isValid() || chosen.isNull()) return;
    engine::Table& s = dm_.strategyTable;
    // With no strategy listed an edit would begin a blank one for the target: nothing to move.
    if (s.isEmpty() || s.field(QStringLiteral("StrategyID")).isNull()) return;
    const int target = chosen.toInt();
    s.edit();
    try {
        s.field(QStringLiteral("UserNumber")).setValue(target);
        const int typed = numberSpin->value();
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

} // namespace planning
