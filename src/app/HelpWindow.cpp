#include "app/HelpWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace app {

namespace {

const QString contentsPage = QStringLiteral("index.html");

QString readText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(f.readAll());
}

QString titleOf(const QString& html, const QString& fallback) {
    static const QRegularExpression title(QStringLiteral("<title>([^<]*)</title>"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = title.match(html);
    return m.hasMatch() ? m.captured(1).trimmed() : fallback;
}

} // namespace

QString manualPageFor(const QWidget* window) {
    // By class rather than by caption: two screens share the caption "User Settings", and a
    // namespace in front of the class name does not change the page.
    static const QHash<QString, QString> pages = {
        {QStringLiteral("GoalsWindow"), QStringLiteral("goals.html")},
        {QStringLiteral("StrategyListWindow"), QStringLiteral("strategies.html")},
        {QStringLiteral("StrategyEditor"), QStringLiteral("strategy-editor.html")},
        {QStringLiteral("MeasurementsWindow"), QStringLiteral("measurements.html")},
        {QStringLiteral("GoalTypesWindow"), QStringLiteral("goal-types.html")},
        {QStringLiteral("DepartmentsWindow"), QStringLiteral("departments.html")},
        {QStringLiteral("ReportsWindow"), QStringLiteral("reports.html")},
        {QStringLiteral("PrintGoalsDialog"), QStringLiteral("print-goals.html")},
        {QStringLiteral("OverdueWindow"), QStringLiteral("overdue.html")},
        {QStringLiteral("OverviewWindow"), QStringLiteral("overview.html")},
        {QStringLiteral("SecurityWindow"), QStringLiteral("security.html")},
        {QStringLiteral("UserSetupWindow"), QStringLiteral("user-setup.html")},
        {QStringLiteral("UserSettingsDialog"), QStringLiteral("user-settings.html")},
        {QStringLiteral("SystemSettingsDialog"), QStringLiteral("system-settings.html")},
        {QStringLiteral("InformationWindow"), QStringLiteral("information.html")},
        {QStringLiteral("LoggedInUsersWindow"), QStringLiteral("logged-in-users.html")},
        {QStringLiteral("HistoryDialog"), QStringLiteral("history.html")},
        {QStringLiteral("DeletedDialog"), QStringLiteral("deleted.html")},
    };
    if (!window) return contentsPage;
    QString name = QString::fromLatin1(window->metaObject()->className());
    name = name.mid(name.lastIndexOf(QLatin1Char(':')) + 1);
    return pages.value(name, contentsPage);
}

HelpWindow::HelpWindow(const QString& folder, QWidget* parent) : QDialog(parent), folder_(folder) {
    setWindowTitle(QStringLiteral("Vardimo Help"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setAttribute(Qt::WA_DeleteOnClose);

    contentsButton = new QPushButton(QStringLiteral("&Contents"), this);
    backButton = new QPushButton(QStringLiteral("&Back"), this);
    forwardButton = new QPushButton(QStringLiteral("&Forward"), this);
    auto* searchLabel = new QLabel(QStringLiteral("&Search:"), this);
    searchEdit = new QLineEdit(this);
    searchEdit->setPlaceholderText(QStringLiteral("Words to find in the manual"));
    searchEdit->setClearButtonEnabled(true);
    searchLabel->setBuddy(searchEdit);
    for (QPushButton* b : {contentsButton, backButton, forwardButton})
        b->setAutoDefault(false);
    backButton->setEnabled(false);
    forwardButton->setEnabled(false);

    listLabel = new QLabel(this);
    pageList = new QListWidget(this);
    browser = new QTextBrowser(this);
    browser->setOpenExternalLinks(true);
    browser->setSearchPaths({folder_});
    closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setAutoDefault(false);

    layOut(searchLabel);
    connectControls();
    readPages();
    listContents();
    resize(820, 600);
}

void HelpWindow::layOut(QLabel* searchLabel) {
    auto* top = new QHBoxLayout;
    top->addWidget(contentsButton);
    top->addWidget(backButton);
    top->addWidget(forwardButton);
    top->addSpacing(12);
    top->addWidget(searchLabel);
    top->addWidget(searchEdit, 1);

    auto* left = new QWidget(this);
    auto* leftLay = new QVBoxLayout(left);
    leftLay->setContentsMargins(0, 0, 0, 0);
    leftLay->addWidget(listLabel);
    leftLay->addWidget(pageList, 1);
    auto* split = new QSplitter(this);
    split->addWidget(left);
    split->addWidget(browser);
    split->setStretchFactor(1, 1);
    split->setSizes({200, 560});

    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(closeButton);

    auto* lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addWidget(split, 1);
    lay->addLayout(bottom);
}

void HelpWindow::connectControls() {
    connect(contentsButton, &QPushButton::clicked, this, [this] {
        searchEdit->clear();
        showPage(contentsPage);
    });
    connect(backButton, &QPushButton::clicked, browser, &QTextBrowser::backward);
    connect(forwardButton, &QPushButton::clicked, browser, &QTextBrowser::forward);
    connect(browser, &QTextBrowser::backwardAvailable, backButton, &QWidget::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, forwardButton, &QWidget::setEnabled);
    connect(browser, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(QStringLiteral("Vardimo Help - ") + browser->documentTitle()); });
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(searchEdit, &QLineEdit::returnPressed, this, [this] {
        // Enter again on the same words goes on to their next place on the page.
        if (!words_.isEmpty() && searchEdit->text().simplified() == searched_)
            findNext();
        else
            search(searchEdit->text());
    });
    connect(searchEdit, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.trimmed().isEmpty() && !searched_.isEmpty()) search({});
    });
    connect(pageList, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        showPage(item->data(Qt::UserRole).toString());
        markFirstHit();
    });
    connect(pageList, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (!item || item->data(Qt::UserRole).toString() == currentPage()) return;
        showPage(item->data(Qt::UserRole).toString());
        markFirstHit();
    });
}

void HelpWindow::readPages() {
    // The pages in the order the contents page names them; a page it does not name is not
    // offered (nor searched).
    const QString index = readText(QDir(folder_).filePath(contentsPage));
    pages_.append({contentsPage, titleOf(index, QStringLiteral("Contents")), {}});
    static const QRegularExpression link(QStringLiteral("href=\"([A-Za-z0-9_-]+\\.html)\""));
    for (auto it = link.globalMatch(index); it.hasNext();) {
        const QString file = it.next().captured(1);
        if (std::any_of(pages_.cbegin(), pages_.cend(), [&](const Page& p) { return p.file == file; }))
            continue;
        const QString html = readText(QDir(folder_).filePath(file));
        if (html.isEmpty()) continue;
        pages_.append({file, titleOf(html, file), {}});
    }
    for (Page& p : pages_) {
        QTextDocument doc;
        doc.setHtml(readText(QDir(folder_).filePath(p.file)));
        p.text = doc.toPlainText();
    }
}

void HelpWindow::listContents() {
    words_.clear();
    searched_.clear();
    listLabel->setText(QStringLiteral("Contents"));
    const QSignalBlocker quiet(pageList);
    pageList->clear();
    for (const Page& p : pages_) {
        auto* item = new QListWidgetItem(p.title, pageList);
        item->setData(Qt::UserRole, p.file);
    }
}

void HelpWindow::showPage(const QString& page) {
    const QString path = QDir(folder_).filePath(page);
    browser->setSource(
        QUrl::fromLocalFile(QFileInfo::exists(path) ? path : QDir(folder_).filePath(contentsPage)));
    const QSignalBlocker quiet(pageList);
    for (int i = 0; i < pageList->count(); ++i)
        if (pageList->item(i)->data(Qt::UserRole).toString() == currentPage()) pageList->setCurrentRow(i);
}

QString HelpWindow::currentPage() const {
    return QFileInfo(browser->source().toLocalFile()).fileName();
}

void HelpWindow::search(const QString& text) {
    const QString simple = text.simplified();
    if (simple.isEmpty()) {
        listContents();
        return;
    }
    words_ = simple.split(QLatin1Char(' '));
    searched_ = simple;
    struct Hit {
        const Page* page;
        qsizetype count;
    };
    QList<Hit> hits;
    for (const Page& p : pages_) {
        qsizetype count = 0;
        bool all = true;
        for (const QString& w : std::as_const(words_)) {
            const qsizetype n = p.text.count(w, Qt::CaseInsensitive);
            if (n == 0) all = false;
            count += n;
        }
        if (all) hits.append({&p, count});
    }
    std::stable_sort(hits.begin(), hits.end(), [](const Hit& a, const Hit& b) { return a.count > b.count; });
    listLabel->setText(hits.isEmpty() ? QStringLiteral("No page holds \"%1\"").arg(simple)
                                      : QStringLiteral("Pages with \"%1\": %2").arg(simple).arg(hits.size()));
    {
        const QSignalBlocker quiet(pageList);
        pageList->clear();
        for (const Hit& h : std::as_const(hits)) {
            auto* item = new QListWidgetItem(h.page->title, pageList);
            item->setData(Qt::UserRole, h.page->file);
        }
    }
    if (hits.isEmpty()) return;
    // The page shown stays when it holds the words; else the best page is shown.
    const bool here =
        std::any_of(hits.cbegin(), hits.cend(), [&](const Hit& h) { return h.page->file == currentPage(); });
    showPage(here ? currentPage() : hits.first().page->file);
    markFirstHit();
}

void HelpWindow::markFirstHit() {
    if (words_.isEmpty()) return;
    browser->moveCursor(QTextCursor::Start);
    findNext();
}

void HelpWindow::findNext() {
    if (words_.isEmpty()) return;
    if (!browser->find(words_.first())) {
        browser->moveCursor(QTextCursor::Start);
        browser->find(words_.first());
    }
}

HelpWindow* showManual(const QString& folder, QWidget* from) {
    QWidget* owner = from ? from->window() : nullptr;
    auto* help = owner ? owner->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!help) help = new HelpWindow(folder, owner);
    help->showPage(manualPageFor(from));
    help->show();
    help->raise();
    help->activateWindow();
    return help;
}

} // namespace app
