#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace app {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    QLabel* productName;
    QLabel* version;
    QLabel* targetImage;
    QLabel* chartImage;
    QPushButton* okButton;
};

} // namespace app
