#include "admin/SystemSettingsDialog.h"

#include "admin/MeasureConversion.h"
#include "controls/Desktop.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/SpinBox.h"
#include "data/DataModule.h"
#include "engine/Database.h"
#include "engine/History.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace admin {

namespace {
// The progress line is repainted at most this often while a conversion runs.
constexpr qint64 kRepaintMs = 50;
} // namespace

SystemSettingsDialog::SystemSettingsDialog(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), dm_(dm) {
    setWindowTitle(QStringLiteral("System Settings"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    auto* lay = new QVBoxLayout(this);
    pages = new QTabWidget(this);
    auto* page = new QWidget(pages);
    pages->addTab(page, QStringLiteral("General Settings"));
    auto* grid = new QGridLayout(page);
    buildSwitches(page, grid);
    buildReportFields(page, grid);
    buildConvertRow(page, grid);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(10, 1);
    lay->addWidget(pages, 1);

    okButton = controls::button(QStringLiteral("OK"), this);
    okButton->setDefault(true);
    closeButton = controls::button(QStringLiteral("Close"), this);
    lay->addLayout(controls::buttonBar(helpButton, {okButton, closeButton}));

    connect(chooseBitmapButton, &QPushButton::clicked, this,
            controls::handler(this, [this] { chooseReportBitmap(); }));
    connect(convertButton, &QPushButton::clicked, this,
            controls::handler(this, [this] { convertMeasures(); }));
    connect(okButton, &QPushButton::clicked, this, controls::handler(this, [this] { saveSettings(); }));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    onCreate();
    setFixedSize(sizeHint().expandedTo(QSize(460, 0)));
}

void SystemSettingsDialog::buildSwitches(QWidget* page, QGridLayout* grid) {
    auto check = [&](controls::FieldCheckBox*& box, const char* caption, const char* field, int row,
                     int col) {
        box = new controls::FieldCheckBox(QString::fromLatin1(caption), page);
        box->bind(&dm_.settingsSource, QString::fromLatin1(field));
        grid->addWidget(box, row, col);
    };
    check(disableLoginBox, "Disable Login", "DisableLogin", 0, 0);
    check(autoLoginBox, "Auto Login", "AutoLogon", 0, 1);
    check(noGoalYearsBox, "No Goal Years", "NoGoalYear", 1, 0);
    check(sendToPrinterBox, "Send To Printer", "SendToPrinter", 1, 1);
    check(multipleMeasurementsBox, "Multiple Measurements", "MultipulMeasure", 2, 0);
    keepHistoryLabel = new QLabel(QStringLiteral("Keep history for"), page);
    keepHistorySpin = new controls::SpinBox(1, 36500, page);
    keepHistorySpin->setObjectName(QStringLiteral("KeepHistoryDays"));
    keepHistoryLabel->setBuddy(keepHistorySpin);
    grid->addLayout(
        controls::lineOf({keepHistoryLabel, keepHistorySpin, new QLabel(QStringLiteral("days"), page)}), 2,
        1);
}

void SystemSettingsDialog::buildReportFields(QWidget* page, QGridLayout* grid) {
    auto edit = [&](QLabel*& label, controls::FieldEdit*& box, const char* caption, const char* field,
                    int width, int row) {
        label = new QLabel(QString::fromLatin1(caption), page);
        box = new controls::FieldEdit(page);
        box->bind(&dm_.settingsSource, QString::fromLatin1(field));
        box->setMaxLength(width);
        label->setBuddy(box);
        grid->addWidget(label, row, 0, 1, 2);
        grid->addWidget(box, row + 1, 0, 1, 2);
    };
    edit(reportBitmapLabel, reportBitmapEdit, "Report BitMap", "ReportBitMap", 255, 3);
    chooseBitmapButton = controls::button(QString(), page);
    chooseBitmapButton->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    chooseBitmapButton->setToolTip(QStringLiteral("Choose the picture printed on the strategy report"));
    grid->addWidget(chooseBitmapButton, 4, 2);
    edit(firstTitleLabel, firstTitleEdit, "Report Title 1:", "ReportTitle1", 80, 5);
    edit(secondTitleLabel, secondTitleEdit, "Report Title 2:", "ReportTitle2", 80, 7);
}

void SystemSettingsDialog::buildConvertRow(QWidget* page, QGridLayout* grid) {
    auto* convertRow = new QHBoxLayout;
    convertButton = controls::button(QStringLiteral("Convert"), page);
    processingLabel = new QLabel(QStringLiteral("Processing Record:"), page);
    recordLabel = new QLabel(QStringLiteral("0"), page);
    ofLabel = new QLabel(QStringLiteral("Of:"), page);
    recordCountLabel = new QLabel(QStringLiteral("0"), page);
    // Wide enough for the largest count, so that the line does not jump while it counts.
    for (QLabel* l : {recordLabel, recordCountLabel})
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
    convertRow->addWidget(convertButton);
    convertRow->addSpacing(12);
    convertRow->addWidget(processingLabel);
    convertRow->addWidget(recordLabel);
    convertRow->addWidget(ofLabel);
    convertRow->addWidget(recordCountLabel);
    convertRow->addStretch();
    grid->addLayout(convertRow, 9, 0, 1, 3);
}

void SystemSettingsDialog::onCreate() {
    dm_.strategyTable.setFiltered(false);
    recordCountLabel->setText(QString::number(dm_.strategyTable.recordCount()));
    keepHistorySpin->setValue(engine::History::keepDays(dm_.goalDatabase));
}

void SystemSettingsDialog::chooseReportBitmap() {
    engine::Table& settings = dm_.settingsTable;
    const engine::Field current = settings.field(QStringLiteral("ReportBitMap"));
    const QString chosen =
        desktop().dialogs().pictureFile(current.isNull() ? QString() : current.asString(), this);
    if (chosen.isEmpty()) return;
    const QString path = QFileInfo(chosen).absoluteFilePath();
    if (path.size() > reportBitmapEdit->maxLength()) {
        desktop().showError(QStringLiteral("The picture's file name is longer than %1 characters: %2")
                                .arg(reportBitmapEdit->maxLength())
                                .arg(path));
        return;
    }
    settings.edit();
    settings.field(QStringLiteral("ReportBitMap")).setValue(path);
}

void SystemSettingsDialog::saveSettings() {
    engine::Table& settings = dm_.settingsTable;
    // The setting describes how the measurements are kept: it changes only with them, by Convert.
    const engine::Field multiple = settings.field(QStringLiteral("MultipulMeasure"));
    const QVariant edited = multiple.isNull() ? QVariant() : QVariant(multiple.asBoolean());
    if (edited != storedMultipleMeasurements(dm_)) {
        desktop().showError(
            QStringLiteral("\"Multiple Measurements\" was changed, but the measurements were "
                           "not converted. Press Convert to convert them and store the setting "
                           "with them, or change the setting back."));
        return;
    }
    // The settings row and the days of history are one save: neither is stored without the other.
    engine::Transaction tx(dm_.goalDatabase);
    settings.edit();
    settings.post();
    if (keepHistorySpin->value() != engine::History::keepDays(dm_.goalDatabase))
        engine::History::setKeepDays(dm_.goalDatabase, keepHistorySpin->value());
    tx.commit();
    accept();
}

void SystemSettingsDialog::convertMeasures() {
    const engine::Field multiple = dm_.settingsTable.field(QStringLiteral("MultipulMeasure"));
    if (multiple.isNull()) return;
    // Said before the question, whose counts would be only of what this user sees.
    checkMayConvertEveryStrategy(dm_);
    if (multiple.asBoolean())
        askConvertToMultiple();
    else
        askConvertToSingle();
}

void SystemSettingsDialog::showProgress(int record) {
    if (record == kStoringConversion) {
        // The commit runs on another thread: the window is painted, but no event is let through,
        // since its handler could use the database meanwhile; Cancel can no longer stop anything.
        if (progressWindow) {
            cancelConversionButton->setEnabled(false);
            controls::paintNow(progressWindow);
        }
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (record == 0 || lastPaint_ < 0 || now - lastPaint_ >= kRepaintMs) {
        lastPaint_ = now;
        recordLabel->setText(QString::number(record));
        recordLabel->repaint();
        if (progressWindow && record != 0) {
            progressLabel->setText(
                QStringLiteral("Processing Record: %1 Of: %2").arg(record).arg(recordCountLabel->text()));
            // The progress window is modal: the only input it lets through is its Cancel.
            QCoreApplication::processEvents();
        }
    }
    // 0 comes first and last, when there is nothing left to stop.
    if (cancelRequested_ && record != 0) {
        // Undoing what was done takes a moment on a large database: Cancel is seen to be taken.
        if (progressWindow) {
            cancelConversionButton->setEnabled(false);
            controls::paintNow(progressWindow);
        }
        throw ConversionCancelled();
    }
}

namespace {
// The window a conversion shows its progress in. Escape and the close box ask the same as
// Cancel but leave it where it is: hidden and shown again, it would be placed anew, and what
// it covered would stay unpainted until the conversion has stopped.
class ConversionWindow : public QDialog {
public:
    ConversionWindow(QWidget* parent, std::function<void()> cancel)
        : QDialog(parent), cancel_(std::move(cancel)) {}
    void reject() override { cancel_(); }

private:
    std::function<void()> cancel_;
};

QString count(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}
} // namespace

void SystemSettingsDialog::askConvertToMultiple() {
    // Every existing item is replaced by one built from its strategy's texts: say how many.
    const int items = measurementItemCount(dm_);
    if (items > 0 && !desktop().confirm(
                         QStringLiteral("Are you sure you want to replace the %1 existing measurement items "
                                        "by one item per strategy?")
                             .arg(items)))
        return;
    convert([this](const ConversionProgress& progress) { admin::convertToMultipleMeasures(dm_, progress); });
}

void SystemSettingsDialog::askConvertToSingle() {
    // Every strategy's two texts are overwritten and every item deleted: say how many.
    const int strategies = strategyCount(dm_);
    const int items = measurementItemCount(dm_);
    if ((strategies > 0 || items > 0) &&
        !desktop().confirm(
            QStringLiteral("Are you sure you want to replace the deliverable and measurement texts "
                           "of the %1 by texts built from their measurement items, and delete "
                           "the %2?")
                .arg(count(strategies, "strategy", "strategies"),
                     count(items, "measurement item", "measurement items"))))
        return;
    convert([this](const ConversionProgress& progress) { admin::convertToSingleMeasure(dm_, progress); });
}

void SystemSettingsDialog::convert(const std::function<void(const ConversionProgress&)>& run) {
    lastPaint_ = -1;
    cancelRequested_ = false;
    ConversionWindow window(this, [this] { cancelRequested_ = true; });
    window.setWindowTitle(QStringLiteral("Converting Measurements"));
    window.setWindowModality(Qt::WindowModal);
    auto* lay = new QVBoxLayout(&window);
    progressLabel =
        new QLabel(QStringLiteral("Processing Record: 0 Of: %1").arg(recordCountLabel->text()), &window);
    progressLabel->setMinimumWidth(progressLabel->fontMetrics().horizontalAdvance(progressLabel->text()) * 2);
    lay->addWidget(progressLabel);
    cancelConversionButton = controls::button(QStringLiteral("Cancel"), &window);
    cancelConversionButton->setObjectName(QStringLiteral("cancelConversionButton"));
    lay->addWidget(cancelConversionButton, 0, Qt::AlignHCenter);
    connect(cancelConversionButton, &QPushButton::clicked, &window, &QDialog::reject);
    progressWindow = &window;
    window.show();
    QCoreApplication::processEvents();
    struct Reset {
        SystemSettingsDialog* form;
        ~Reset() {
            form->progressWindow = nullptr;
            form->progressLabel = nullptr;
            form->cancelConversionButton = nullptr;
        }
    } reset{this};
    try {
        run([this](int record) { showProgress(record); });
    } catch (const ConversionCancelled&) {
        // Cancelled: nothing of it was kept, and there is nothing to say about it.
        showProgress(0);
        return;
    } catch (...) {
        // Nothing of it was kept: the count does not stay at the record it stopped at.
        showProgress(0);
        throw;
    }
}

void SystemSettingsDialog::onClose() {
    // Unsaved edits are dropped, so that the report does not print titles nobody saved.
    dm_.settingsTable.cancel();
}

void SystemSettingsDialog::done(int result) {
    if (!closed_) {
        closed_ = true;
        controls::guarded(this, [this] { onClose(); });
    }
    controls::Screen::done(result);
}

} // namespace admin
