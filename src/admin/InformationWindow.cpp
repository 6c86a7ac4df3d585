#include "admin/InformationWindow.h"

#include "data/DataModule.h"
#include "data/Packing.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace admin {

namespace {
QLocale numberLocale() {
    QLocale l;
    // The C locale writes no thousands separator; fall back to the conventional one.
    if (l.language() == QLocale::C) l = QLocale(QLocale::English, QLocale::UnitedStates);
    l.setNumberOptions({});
    return l;
}
} // namespace

QString InformationWindow::countText(qint64 n) {
    return numberLocale().toString(n);
}

QString InformationWindow::sizeText(qint64 bytes) {
    return numberLocale().toString(qint64(std::llround(double(bytes) / 1000.0))) + QStringLiteral(" K Bytes");
}

InformationWindow::InformationWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), dm_(dm) {
    setWindowTitle(QStringLiteral("Database Information"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* lay = new QVBoxLayout(this);
    auto* box = new QGroupBox(QStringLiteral("Database Information"), this);
    auto* grid = new QGridLayout(box);
    auto row = [&](int r, const char* caption, QLabel*& count, QLabel*& size) {
        grid->addWidget(new QLabel(QString::fromLatin1(caption), box), r, 0);
        count = new QLabel(QStringLiteral("Searching"), box);
        size = new QLabel(QStringLiteral("Searching"), box);
        count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        size->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        count->setMinimumWidth(90);
        size->setMinimumWidth(120);
        grid->addWidget(count, r, 1);
        grid->addWidget(size, r, 2);
    };
    row(0, "Goals", goalsNumber, goalsSpace);
    row(1, "Strategies", strategyNumber, strategiesSpace);
    row(2, "Departments:", departmentNumber, departmentsSpace);
    row(3, "Goal Types:", goalTypeNumber, goalTypeSpace);
    lay->addWidget(box);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(okButton);
    buttons->addWidget(helpButton);
    lay->addLayout(buttons);
    connect(this, &controls::Screen::activated, this, [this] { onActivate(); });
}

void InformationWindow::onActivate() {
    repaint();
    const std::tuple<engine::Table*, QLabel*, QLabel*> rows[] = {
        {&dm_.goalsTable, goalsNumber, goalsSpace},
        {&dm_.strategyTable, strategyNumber, strategiesSpace},
        {&dm_.departmentTable, departmentNumber, departmentsSpace},
        {&dm_.goalTypeTable, goalTypeNumber, goalTypeSpace}};
    for (const auto& [table, count, size] : rows) {
        count->setText(countText(table->recordCount()));
        repaint();
        size->setText(sizeText(data::tableFileSize(dm_, table->tableName())));
        repaint();
    }
}

} // namespace admin
