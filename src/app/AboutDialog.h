#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    QLabel* ProductName;
    QLabel* Version;
    QLabel* targetImage;
    QLabel* chartImage;
    QPushButton* OKButton;
};
