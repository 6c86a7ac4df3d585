#include "planning/HistoryDialog.h"

#include "controls/Desktop.h"
#include "controls/Dialogs.h"
#include "controls/ErrorHandler.h"
#include "data/ChangeHistory.h"
#include "data/DataModule.h"

#include <QHeaderView>
#include <QJsonValue>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace planning {

namespace {

// The captions the screens give the stored columns.
QString caption(const QString& column) {
    static const QHash<QString, QString> captions{
        {QStringLiteral("GoalDescription"), QStringLiteral("Goal")},
        {QStringLiteral("UserNumber"), QStringLiteral("User")},
        {QStringLiteral("GoalOwner"), QStringLiteral("Owner")},
        {QStringLiteral("GoalTypeID"), QStringLiteral("Type")},
        {QStringLiteral("GoalYear"), QStringLiteral("Year")},
        {QStringLiteral("StrategyNumber"), QStringLiteral("Number")},
        {QStringLiteral("StrategyDescription"), QStringLiteral("Strategy")},
        {QStringLiteral("CompleationDate"), QStringLiteral("Completion Date")},
        {QStringLiteral("AddationalResources"), QStringLiteral("Additional Resources")},
        {QStringLiteral("CommentsStatus"), QStringLiteral("Comments/Status")},
        {QStringLiteral("DoNotPrint"), QStringLiteral("Do Not Print")},
        {QStringLiteral("GoalID"), QStringLiteral("Goal")},
        {QStringLiteral("Compleated"), QStringLiteral("Completed")},
    };
    return captions.value(column, column);
}

QString text(const QJsonValue& v) {
    if (v.isBool()) return v.toBool() ? QStringLiteral("Yes") : QStringLiteral("No");
    if (v.isDouble()) return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

// The words of `then` and `now` in order, those only in `then` struck through and those only in
// `now` underlined (a longest common subsequence of words).
QString wordDifference(const QString& then, const QString& now) {
    static const QRegularExpression space(QStringLiteral("\\s+"));
    const QStringList a = then.split(space, Qt::SkipEmptyParts), b = now.split(space, Qt::SkipEmptyParts);
    const qsizetype n = a.size(), m = b.size();
    std::vector<std::vector<int>> common(size_t(n + 1), std::vector<int>(size_t(m + 1), 0));
    for (qsizetype i = n - 1; i >= 0; --i)
        for (qsizetype j = m - 1; j >= 0; --j)
            common[size_t(i)][size_t(j)] =
                a[i] == b[j] ? common[size_t(i + 1)][size_t(j + 1)] + 1
                             : std::max(common[size_t(i + 1)][size_t(j)], common[size_t(i)][size_t(j + 1)]);
    QStringList out;
    qsizetype i = 0, j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[i] == b[j]) {
            out << a[i].toHtmlEscaped();
            ++i;
            ++j;
        } else if (j >= m ||
                   (i < n && common[size_t(i + 1)][size_t(j)] >= common[size_t(i)][size_t(j + 1)])) {
            out << QStringLiteral("<s style=\"color:#a00000\">%1</s>").arg(a[i++].toHtmlEscaped());
        } else {
            out << QStringLiteral("<u style=\"color:#006000\">%1</u>").arg(b[j++].toHtmlEscaped());
        }
    }
    return out.join(QLatin1Char(' '));
}

} // namespace

HistoryDialog::HistoryDialog(data::DataModule& dm, Kind kind, qint64 key, bool mayRestore,
                             controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), dm_(dm), kind_(kind), key_(key), mayRestore_(mayRestore) {
    setWindowTitle(kind == Kind::Goal ? QStringLiteral("Goal History") : QStringLiteral("Strategy History"));
    auto* lay = new QVBoxLayout(this);
    auto* split = new QSplitter(Qt::Vertical, this);
    versionList = new QTreeWidget(split);
    versionList->setObjectName(QStringLiteral("VersionList"));
    versionList->setRootIsDecorated(false);
    versionList->setAllColumnsShowFocus(true);
    versionList->setHeaderLabels({QStringLiteral("When"), QStringLiteral("Who"), QStringLiteral("Changed")});
    versionList->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    differenceView = new QTextBrowser(split);
    differenceView->setObjectName(QStringLiteral("DifferenceView"));
    split->addWidget(versionList);
    split->addWidget(differenceView);
    split->setMinimumSize(640, 420);
    lay->addWidget(split);
    restoreButton = controls::button(QStringLiteral("Restore"), this);
    closeButton = controls::button(QStringLiteral("Close"), this);
    lay->addLayout(controls::buttonBar(helpButton, {restoreButton, closeButton}));
    connect(restoreButton, &QPushButton::clicked, this,
            controls::handler(this, [this] { restoreClicked(); }));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(versionList, &QTreeWidget::currentItemChanged, this,
            controls::handler(this, [this] { versionChosen(); }));
    reload();
}

const engine::TableDef& HistoryDialog::def() const {
    return *engine::findTable(kind_ == Kind::Goal ? QStringLiteral("goals.db")
                                                  : QStringLiteral("Strategys.db"));
}

void HistoryDialog::reload() {
    data::ChangeHistory history(dm_);
    versions_ = kind_ == Kind::Goal ? history.goalVersions(key_) : history.strategyVersions(key_);
    // The oldest kept change of a row made before history was kept (or whose older versions were
    // packed away) still knows what the row held before it: that is offered too.
    if (!versions_.empty() && versions_.back().action == engine::Version::Action::Update) {
        engine::Version before = versions_.back();
        before.id = 0;
        before.after = before.before;
        before.changedBy = -1;
        versions_.push_back(std::move(before));
    }
    versionList->clear();
    for (const engine::Version& v : versions_) {
        if (v.id == 0) {
            new QTreeWidgetItem(versionList,
                                {QString(), QString(), QStringLiteral("(before %1)").arg(v.changedAt)});
            continue;
        }
        QString what;
        switch (v.action) {
        case engine::Version::Action::Insert:
            what = QStringLiteral("Added");
            break;
        case engine::Version::Action::Delete:
            what = QStringLiteral("Deleted");
            break;
        case engine::Version::Action::Update: {
            QStringList names;
            for (const QString& c : v.changedColumns(def()))
                names << caption(c);
            what = names.isEmpty() ? QStringLiteral("Saved") : names.join(QStringLiteral(", "));
        }
        }
        new QTreeWidgetItem(versionList, {v.changedAt, history.userName(v.changedBy), what});
    }
    versionList->resizeColumnToContents(0);
    versionList->resizeColumnToContents(1);
    if (!versions_.empty()) versionList->setCurrentItem(versionList->topLevelItem(0));
    versionChosen();
}

void HistoryDialog::versionChosen() {
    const int row = versionList->indexOfTopLevelItem(versionList->currentItem());
    if (row < 0 || row >= int(versions_.size())) {
        differenceView->setPlainText(QStringLiteral("No versions of this row are kept."));
        restoreButton->setEnabled(false);
        return;
    }
    const engine::Version& v = versions_[size_t(row)];
    const QJsonObject& then = v.values();
    const QJsonObject& now = versions_.front().values();
    QString html =
        QStringLiteral("<p><i>This version against the row now: <s style=\"color:#a00000\">only in "
                       "this version</s>, <u style=\"color:#006000\">only now</u>.</i></p>");
    int differing = 0;
    for (const engine::ColumnDef& c : def().columns) {
        if (c.type == engine::FieldType::AutoInc || c.name.startsWith(QLatin1String("Modifie"))) continue;
        const QString a = text(then.value(c.name)), b = text(now.value(c.name));
        if (a == b) continue;
        ++differing;
        html += QStringLiteral("<p><b>%1</b><br>%2</p>")
                    .arg(caption(c.name).toHtmlEscaped(), wordDifference(a, b));
    }
    if (differing == 0) html += QStringLiteral("<p>The texts of this version are those of the row now.</p>");
    differenceView->setHtml(html);
    restoreButton->setEnabled(mayRestore_ && row > 0 && v.action != engine::Version::Action::Delete);
}

void HistoryDialog::restoreClicked() {
    const int row = versionList->indexOfTopLevelItem(versionList->currentItem());
    if (row <= 0 || row >= int(versions_.size())) return;
    if (!desktop().confirm(QStringLiteral("Are you sure you want to bring this version back?"))) return;
    data::ChangeHistory history(dm_);
    if (kind_ == Kind::Goal)
        history.restoreGoal(versions_[size_t(row)]);
    else
        history.restoreStrategy(versions_[size_t(row)]);
    reload();
}

} // namespace planning
