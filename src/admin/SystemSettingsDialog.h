#pragma once

#include "admin/MeasureConversion.h"
#include "controls/Screen.h"

#include <functional>

class DataModule;

class QLabel;
class QPushButton;
class QTabWidget;

namespace controls {
class DBCheckBox;
class DBEdit;
} // namespace controls

// The one row of system-wide settings, and the conversion of every strategy between one text
// of each kind and numbered measurement records.
class SystemSettingsDialog : public controls::Screen {
    Q_OBJECT
public:
    SystemSettingsDialog(DataModule& dm, QWidget* parent = nullptr);

    QTabWidget* PageControl1;
    controls::DBCheckBox* DBCheckBox1;
    controls::DBCheckBox* DBCheckBox2;
    controls::DBCheckBox* DBCheckBox3;
    controls::DBCheckBox* DBCheckBox4;
    controls::DBCheckBox* DBCheckBox5;
    QLabel* Label1;
    controls::DBEdit* DBEdit1;
    QPushButton* BitBtn3;
    QLabel* Label2;
    controls::DBEdit* DBEdit2;
    QLabel* Label3;
    controls::DBEdit* DBEdit3;
    QPushButton* BitBtn4;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QPushButton* BitBtn2;
    QPushButton* BitBtn1;

    void FormCreate();
    void BitBtn3Click();
    void BitBtn2Click();
    void BitBtn4Click();
    void ConvertToMultipleMeasures();
    void ConvertToSingleMeasure();
    void FormClose();
    void done(int result) override;

private:
    void showProgress(int record);
    // Runs a conversion with the progress line; the line is back at 0 however it ends.
    void convert(const std::function<void(const ConversionProgress&)>& run);
    qint64 lastPaint_ = -1;
    bool closed_ = false;
    DataModule& dm_;
};
