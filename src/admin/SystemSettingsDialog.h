#pragma once

#include "admin/MeasureConversion.h"
#include "controls/Screen.h"

#include <functional>

namespace data {
class DataModule;
}

class QDialog;
class QGridLayout;
class QLabel;
class QPushButton;
class QTabWidget;

namespace controls {
class FieldCheckBox;
class FieldEdit;
class SpinBox;
} // namespace controls

namespace admin {

// The one row of system-wide settings, and the conversion of every strategy between one text
// of each kind and numbered measurement records.
class SystemSettingsDialog : public controls::Screen {
    Q_OBJECT
public:
    SystemSettingsDialog(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);

    QTabWidget* pages;
    controls::FieldCheckBox* disableLoginBox;
    controls::FieldCheckBox* autoLoginBox;
    controls::FieldCheckBox* noGoalYearsBox;
    controls::FieldCheckBox* sendToPrinterBox;
    controls::FieldCheckBox* multipleMeasurementsBox;
    QLabel* keepHistoryLabel;
    controls::SpinBox* keepHistorySpin; // days the versions of rows are kept
    QLabel* reportBitmapLabel;
    controls::FieldEdit* reportBitmapEdit;
    QPushButton* chooseBitmapButton;
    QLabel* firstTitleLabel;
    controls::FieldEdit* firstTitleEdit;
    QLabel* secondTitleLabel;
    controls::FieldEdit* secondTitleEdit;
    QPushButton* convertButton;
    QLabel* processingLabel;
    QLabel* recordLabel;
    QLabel* ofLabel;
    QLabel* recordCountLabel;
    QPushButton* okButton;
    QPushButton* closeButton;
    // Shown while a conversion runs (the settings screen takes no input meanwhile): the record
    // reached, and a Cancel button that stops the conversion and leaves everything as it was.
    QDialog* progressWindow = nullptr;
    QLabel* progressLabel = nullptr;
    QPushButton* cancelConversionButton = nullptr;

    void onCreate();
    void chooseReportBitmap();
    void saveSettings();
    void convertMeasures();
    void askConvertToMultiple();
    void askConvertToSingle();
    void onClose();
    void done(int result) override;

private:
    // The page from the top: the switches, the report's picture and titles, the conversion line.
    void buildSwitches(QWidget* page, QGridLayout* grid);
    void buildReportFields(QWidget* page, QGridLayout* grid);
    void buildConvertRow(QWidget* page, QGridLayout* grid);
    void showProgress(int record);
    // Runs a conversion with the progress line; the line is back at 0 however it ends.
    void convert(const std::function<void(const ConversionProgress&)>& run);
    qint64 lastPaint_ = -1;
    bool cancelRequested_ = false;
    bool closed_ = false;
    data::DataModule& dm_;
};

} // namespace admin
