#include "admin/SystemSettingsDialog.h"

#include "admin/MeasureConversion.h"
#include "controls/DataControls.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "data/DataModule.h"

#include <QDateTime>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
// The progress line is repainted at most this often while a conversion runs.
constexpr qint64 kRepaintMs = 50;
} // namespace

SystemSettingsDialog::SystemSettingsDialog(DataModule& dm, QWidget* parent)
    : controls::Screen(parent), dm_(dm) {
    engine::DataSource* src = &dm_.SettingsSource;
    setWindowTitle(QStringLiteral("System Settings"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    auto* lay = new QVBoxLayout(this);
    PageControl1 = new QTabWidget(this);
    auto* page = new QWidget(PageControl1);
    PageControl1->addTab(page, QStringLiteral("General Settings"));
    auto* grid = new QGridLayout(page);

    auto check = [&](controls::DBCheckBox*& box, const char* caption, const char* field, int row, int col) {
        box = new controls::DBCheckBox(QString::fromLatin1(caption), page);
        box->bind(src, QString::fromLatin1(field));
        grid->addWidget(box, row, col);
    };
    check(DBCheckBox1, "Disable Login", "DisableLogin", 0, 0);
    check(DBCheckBox2, "Auto Login", "AutoLogon", 0, 1);
    check(DBCheckBox3, "No Goal Years", "NoGoalYear", 1, 0);
    check(DBCheckBox4, "Send To Printer", "SendToPrinter", 1, 1);
    check(DBCheckBox5, "Multiple Measurements", "MultipulMeasure", 2, 0);

    auto edit = [&](QLabel*& label, controls::DBEdit*& box, const char* caption, const char* field, int width,
                    int row) {
        label = new QLabel(QString::fromLatin1(caption), page);
        box = new controls::DBEdit(page);
        box->bind(src, QString::fromLatin1(field));
        box->setMaxLength(width);
        label->setBuddy(box);
        grid->addWidget(label, row, 0, 1, 2);
        grid->addWidget(box, row + 1, 0, 1, 2);
    };
    edit(Label1, DBEdit1, "Report BitMap", "ReportBitMap", 255, 3);
    BitBtn3 = controls::button(QString(), page);
    BitBtn3->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    BitBtn3->setToolTip(QStringLiteral("Choose the picture printed on the strategy report"));
    grid->addWidget(BitBtn3, 4, 2);
    edit(Label2, DBEdit2, "Report Title 1:", "ReportTitle1", 80, 5);
    edit(Label3, DBEdit3, "Report Title 2:", "ReportTitle2", 80, 7);

    auto* convertRow = new QHBoxLayout;
    BitBtn4 = controls::button(QStringLiteral("Convert"), page);
    Label4 = new QLabel(QStringLiteral("Processing Record:"), page);
    Label5 = new QLabel(QStringLiteral("0"), page);
    Label6 = new QLabel(QStringLiteral("Of:"), page);
    Label7 = new QLabel(QStringLiteral("0"), page);
    // Wide enough for the largest count, so that the line does not jump while it counts.
    for (QLabel* l : {Label5, Label7})
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
    convertRow->addWidget(BitBtn4);
    convertRow->addSpacing(12);
    convertRow->addWidget(Label4);
    convertRow->addWidget(Label5);
    convertRow->addWidget(Label6);
    convertRow->addWidget(Label7);
    convertRow->addStretch();
    grid->addLayout(convertRow, 9, 0, 1, 3);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(10, 1);
    lay->addWidget(PageControl1, 1);

    auto* buttons = new QHBoxLayout;
    BitBtn2 = controls::button(QStringLiteral("OK"), this);
    BitBtn2->setDefault(true);
    BitBtn1 = controls::button(QStringLiteral("Close"), this);
    buttons->addWidget(HelpBtn);
    buttons->addStretch();
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn1);
    lay->addLayout(buttons);

    connect(BitBtn3, &QPushButton::clicked, this, controls::handler([this] { BitBtn3Click(); }));
    connect(BitBtn4, &QPushButton::clicked, this, controls::handler([this] { BitBtn4Click(); }));
    connect(BitBtn2, &QPushButton::clicked, this, controls::handler([this] { BitBtn2Click(); }));
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
    setFixedSize(sizeHint().expandedTo(QSize(460, 0)));
}

void SystemSettingsDialog::FormCreate() {
    dm_.StrategyTable.setFiltered(false);
    HelpBtn->setVisible(controls::helpFileExists());
    Label7->setText(QString::number(dm_.StrategyTable.recordCount()));
}

void SystemSettingsDialog::BitBtn3Click() {
    engine::Table& settings = dm_.SettingsTable;
    const engine::Field current = settings.field(QStringLiteral("ReportBitMap"));
    const QString chosen =
        controls::dialogs().pictureFile(current.isNull() ? QString() : current.asString(), this);
    if (chosen.isEmpty()) return;
    const QString path = QFileInfo(chosen).absoluteFilePath();
    if (path.size() > DBEdit1->maxLength()) {
        controls::showError(QStringLiteral("The picture's file name is longer than %1 characters: %2")
                                .arg(DBEdit1->maxLength())
                                .arg(path));
        return;
    }
    settings.edit();
    settings.field(QStringLiteral("ReportBitMap")).setValue(path);
}

void SystemSettingsDialog::BitBtn2Click() {
    engine::Table& settings = dm_.SettingsTable;
    // The setting describes how the measurements are kept: it changes only with them, by Convert.
    const engine::Field multiple = settings.field(QStringLiteral("MultipulMeasure"));
    const QVariant edited = multiple.isNull() ? QVariant() : QVariant(multiple.asBoolean());
    if (edited != StoredMultipleMeasurements(dm_)) {
        controls::showError(
            QStringLiteral("\"Multiple Measurements\" was changed, but the measurements were "
                           "not converted. Press Convert to convert them and store the setting "
                           "with them, or change the setting back."));
        return;
    }
    settings.edit();
    settings.post();
    accept();
}

void SystemSettingsDialog::BitBtn4Click() {
    const engine::Field multiple = dm_.SettingsTable.field(QStringLiteral("MultipulMeasure"));
    if (multiple.isNull()) return;
    if (multiple.asBoolean())
        ConvertToMultipleMeasures();
    else
        ConvertToSingleMeasure();
}

void SystemSettingsDialog::showProgress(int record) {
    Label5->setText(QString::number(record));
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (record == 0 || lastPaint_ < 0 || now - lastPaint_ >= kRepaintMs) {
        Label5->repaint();
        lastPaint_ = now;
    }
}

namespace {
QString count(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}
} // namespace

void SystemSettingsDialog::ConvertToMultipleMeasures() {
    // Every existing item is replaced by one built from its strategy's texts: say how many.
    const int items = MeasurementItemCount(dm_);
    if (items > 0 && !controls::confirm(
                         QStringLiteral("Are you sure you want to replace the %1 existing measurement items "
                                        "by one item per strategy?")
                             .arg(items)))
        return;
    convert([this](const ConversionProgress& progress) { ::ConvertToMultipleMeasures(dm_, progress); });
}

void SystemSettingsDialog::ConvertToSingleMeasure() {
    // Every strategy's two texts are overwritten and every item deleted: say how many.
    const int strategies = StrategyCount(dm_);
    const int items = MeasurementItemCount(dm_);
    if ((strategies > 0 || items > 0) &&
        !controls::confirm(
            QStringLiteral("Are you sure you want to replace the deliverable and measurement texts "
                           "of the %1 by texts built from their measurement items, and delete "
                           "the %2?")
                .arg(count(strategies, "strategy", "strategies"),
                     count(items, "measurement item", "measurement items"))))
        return;
    convert([this](const ConversionProgress& progress) { ::ConvertToSingleMeasure(dm_, progress); });
}

void SystemSettingsDialog::convert(const std::function<void(const ConversionProgress&)>& run) {
    lastPaint_ = -1;
    try {
        run([this](int record) { showProgress(record); });
    } catch (...) {
        // Nothing of it was kept: the count does not stay at the record it stopped at.
        showProgress(0);
        throw;
    }
}

void SystemSettingsDialog::FormClose() {
    // Unsaved edits are dropped, so that the report does not print titles nobody saved.
    dm_.SettingsTable.cancel();
}

void SystemSettingsDialog::done(int result) {
    if (!closed_) {
        closed_ = true;
        controls::guarded([this] { FormClose(); });
    }
    controls::Screen::done(result);
}
