#include "planning/SelectDateDialog.h"

#include "controls/Plain.h"
#include "controls/Screen.h"
#include "engine/Table.h"

#include <QDate>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

SelectDateDialog::SelectDateDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Select Date"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    auto* lay = new QVBoxLayout(this);
    MonthCalendar1 = new controls::MonthCalendar(this);
    lay->addWidget(MonthCalendar1);
    auto* buttons = new QHBoxLayout;
    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn2->setAutoDefault(false);
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    lay->addLayout(buttons);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    // The calendar keeps the Enter key for itself and reports it as a chosen date: that is OK too.
    connect(MonthCalendar1, &QCalendarWidget::activated, this, &QDialog::accept);
    MonthCalendar1->setFocus();
    setFixedSize(sizeHint());
}

bool SelectDateInto(engine::Table& table, const QString& field, QWidget* parent) {
    SelectDateDialog dialog(parent);
    const engine::Field date = table.field(field);
    dialog.MonthCalendar1->setSelectedDate(date.isNull() ? QDate::currentDate() : date.asDate());
    if (controls::showModal(dialog) != QDialog::Accepted) return false;
    table.edit();
    table.field(field).setValue(dialog.MonthCalendar1->selectedDate());
    return true;
}

QIcon SelectDateIcon() {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(0x40, 0x40, 0x40));
    p.setBrush(Qt::white);
    p.drawRect(1, 2, 13, 12);
    p.fillRect(2, 3, 12, 3, QColor(0xC0, 0x30, 0x30));
    p.setPen(QColor(0x50, 0x50, 0x50));
    for (int y = 8; y <= 12; y += 2)
        for (int x = 3; x <= 12; x += 3)
            p.drawPoint(x, y);
    return QIcon(pm);
}
