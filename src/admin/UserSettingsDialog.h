#pragma once

#include "controls/Screen.h"

class DataModule;

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Who the logged-on user is, and a new password for him.
class UserSettingsDialog : public controls::Screen {
    Q_OBJECT
public:
    UserSettingsDialog(DataModule& dm, QWidget* parent = nullptr);

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLabel* Label3;
    QLabel* Label2;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label11;
    QLabel* Label9;
    QLineEdit* Password;
    QLabel* Label10;
    QLineEdit* VerifyPassword;
    QLabel* Label12;
    QLabel* NoRecordLabel; // shown when this logon has no user record to change
    QPushButton* BitBtn2;
    QPushButton* BitBtn1;

    void FormActivate();
    void BitBtn2Click();
    void FormClose();
    void done(int result) override;

private:
    // The logon has a user record, and the filtered table shows it.
    bool hasOwnRecord();
    bool activated_ = false;
    bool closed_ = false;
    DataModule& dm_;
};
