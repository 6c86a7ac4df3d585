#include "controls/QtDialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

namespace controls {

Answer QtDialogs::message(const QString& text, const QString& title, Icon icon, Buttons buttons) {
    QMessageBox box;
    box.setWindowTitle(title);
    box.setText(text);
    switch (icon) {
    case Icon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Stop:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

bool QtDialogs::print(QPrinter& printer, QWidget* parent) {
    QPrintDialog dlg(&printer, parent);
    return dlg.exec() == QDialog::Accepted;
}

bool QtDialogs::printerSetup(QPrinter& printer, QWidget* parent) {
    // The printer is chosen here, and its properties (paper, layout) through its Properties button.
    QPrintDialog dlg(&printer, parent);
    dlg.setWindowTitle(QStringLiteral("Printer Setup"));
    dlg.setOption(QAbstractPrintDialog::PrintToFile, true);
    // Nothing is printed here: the button that keeps the choice says so.
    for (auto* box : dlg.findChildren<QDialogButtonBox*>())
        if (QPushButton* ok = box->button(QDialogButtonBox::Ok)) ok->setText(QStringLiteral("OK"));
    return dlg.exec() == QDialog::Accepted;
}

QString QtDialogs::pictureFilter() {
    return QStringLiteral("Pictures (*.bmp *.png *.jpg *.jpeg *.gif *.ico);;All files (*)");
}

QString QtDialogs::pictureFile(const QString& current, QWidget* parent) {
    QFileDialog dlg(parent, QStringLiteral("Open Picture"), current);
    dlg.setNameFilter(pictureFilter());
    dlg.setFileMode(QFileDialog::ExistingFile);
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    auto* preview = new QLabel(&dlg);
    preview->setFixedSize(160, 160);
    preview->setAlignment(Qt::AlignCenter);
    preview->setFrameShape(QFrame::StyledPanel);
    if (auto* grid = qobject_cast<QGridLayout*>(dlg.layout()))
        grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1);
    QObject::connect(&dlg, &QFileDialog::currentChanged, preview, [preview](const QString& path) {
        const QPixmap pm(path);
        preview->setPixmap(pm.isNull()
                               ? QPixmap()
                               : pm.scaled(preview->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    });
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    return dlg.selectedFiles().first();
}

QString QtDialogs::saveFile(const QString& title, const QString& suggested, const QString& filter,
                            QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, title, suggested, filter);
}

int QtDialogs::showModal(QDialog& dialog) {
    return dialog.exec();
}

} // namespace controls
