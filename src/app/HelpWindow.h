#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTextBrowser;
class QWidget;

namespace app {

// The page of the manual that describes a window: a screen's own page, the contents page for
// any other window (the main window's help item).
QString manualPageFor(const QWidget* window);

// The user manual inside the program: the list of its pages (or of the pages a search found) at
// the left, the page at the right, a search over every page above.
class HelpWindow : public QDialog {
    Q_OBJECT
public:
    HelpWindow(const QString& folder, QWidget* parent);

    // Shows a page of the manual, named by its file ("goals.html").
    void showPage(const QString& page);
    // Lists the pages that hold every word of the text, those with the most hits first, and
    // marks the first hit on the page shown. An empty text lists the contents again.
    void search(const QString& text);
    // The file name of the page shown.
    QString currentPage() const;

    QPushButton* contentsButton;
    QPushButton* backButton;
    QPushButton* forwardButton;
    QLineEdit* searchEdit;
    QLabel* listLabel;
    QListWidget* pageList;
    QTextBrowser* browser;
    QPushButton* closeButton;

private:
    struct Page {
        QString file;
        QString title;
        QString text; // the words of the page, as read, for searching
    };
    void layOut(QLabel* searchLabel);
    void connectControls();
    void readPages();
    void listContents();
    void markFirstHit();
    void findNext();

    QString folder_;
    QList<Page> pages_;
    QStringList words_; // of the last search
    QString searched_;
};

// Opens the manual in the folder at the page for the window asking, in that window's help window
// (made on first use, shown on top of it, so that it can be read beside a modal screen).
HelpWindow* showManual(const QString& folder, QWidget* from);

} // namespace app
