#include "planning/SelectDateDialog.h"

#include "controls/Desktop.h"
#include "controls/MonthCalendar.h"
#include "controls/Screen.h"
#include "engine/Table.h"

#include <QDate>
#include <QIcon>
#include <QPainter>
#include <QPixmap>

#include <QPushButton>
#include <QVBoxLayout>

namespace planning {

SelectDateDialog::SelectDateDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Select Date"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    auto* lay = new QVBoxLayout(this);
    calendar = new controls::MonthCalendar(this);
    lay->addWidget(calendar);
    lay->addLayout(controls::acceptBar(this, QStringLiteral("OK"), okButton, cancelButton));
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    // The calendar keeps the Enter key for itself and reports it as a chosen date: that is OK too.
    connect(calendar, &QCalendarWidget::activated, this, &QDialog::accept);
    calendar->setFocus();
    setFixedSize(sizeHint());
}

bool selectDateInto(engine::Table& table, const QString& field, const controls::Desktop& desktop,
                    QWidget* parent) {
    SelectDateDialog dialog(parent);
    const engine::Field date = table.field(field);
    dialog.calendar->setSelectedDate(date.isNull() ? QDate::currentDate() : date.asDate());
    if (desktop.showModal(dialog) != QDialog::Accepted) return false;
    table.edit();
    table.field(field).setValue(dialog.calendar->selectedDate());
    return true;
}

QIcon selectDateIcon() {
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

} // namespace planning
