#include "reports/GoalsReport.h"

#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/Logon.h"

namespace reports {

GoalsReport::GoalsReport(data::DataModule& dm, engine::Query& rows, QObject* owner)
    : printing::Report(&rows, owner), dm_(dm), rows_(rows) {
    countPages = true;
    rowName = QStringLiteral("goal");
    buildPageHeader();
    buildDetail();
    beforePrint = [this] { userNames_.clear(); };

    yearHeading->visible = !dm_.user().settings.noGoalYear;
    yearText->visible = !dm_.user().settings.noGoalYear;
}

void GoalsReport::buildPageHeader() {
    const QFont f10 = reportFont(10);
    pageHeader.height = 27.8;
    titleLabel = pageHeader.add<printing::Label>(QRectF(-2.1, 0, 193.4, 16.4));
    titleLabel->caption = QStringLiteral("Vardimo");
    titleLabel->font = reportFont(40);
    titleLabel->alignment = Qt::AlignHCenter | Qt::AlignTop;
    titleLabel->followsRightEdge = true;
    // The band is as wide as the printable width of the paper.
    const double right = layoutWidthMm();
    printedAtData = pageHeader.add<printing::PrintInfoText>(QRectF(0, 16.9, right, 4.2));
    printedAtData->kind = printing::PrintInfoText::Kind::DateTime;
    printedAtData->alignment = Qt::AlignRight;
    printedAtData->font = f10;
    printedAtData->followsRightEdge = true;
    pageNumberData = pageHeader.add<printing::PrintInfoText>(QRectF(0, 21.2, right, 4.2));
    pageNumberData->kind = printing::PrintInfoText::Kind::PageOfPages;
    pageNumberData->prefix = QStringLiteral("Page: ");
    pageNumberData->alignment = Qt::AlignRight;
    pageNumberData->font = f10;
    pageNumberData->followsRightEdge = true;
    auto heading = [&](double left, const char* text) {
        auto* l = pageHeader.add<printing::Label>(QRectF(left, 21.2, 30, 4.2));
        l->caption = QString::fromLatin1(text);
        l->font = f10;
        return l;
    };
    yearHeading = heading(-0.5, "Goal Year");
    nameHeading = heading(21.2, "Name");
    typeHeading = heading(48.7, "Type");
    goalHeading = heading(79.9, "Goal");
    headingRule = pageHeader.add<printing::Shape>(QRectF(-0.5, 25.4, 191.8, 2.4));
    headingRule->brush = Qt::red;
    headingRule->followsRightEdge = true;
}

void GoalsReport::buildDetail() {
    const QFont f10 = reportFont(10);
    const double right = layoutWidthMm();
    // Each value keeps to its own column: a longer one goes on over further lines inside it
    // and the row grows, so nothing is printed over the next column or past the paper's edge.
    detail.height = 4.2;
    detail.stretch = true;
    constexpr double gap = 1.0;
    constexpr double nameLeft = 21.2, typeLeft = 48.9, goalLeft = 78.3;
    auto column = [&](auto* item, double left, double width) {
        item->geometry = QRectF(left, 0, width, 4.2);
        item->font = f10;
        item->autoSize = false;
        item->wrap = true;
        return item;
    };
    auto field = [&](double left, double width, const char* name) {
        auto* t = column(detail.add<printing::FieldText>(QRectF()), left, width);
        t->field = QString::fromLatin1(name);
        return t;
    };
    yearText = field(0, nameLeft - gap, "GoalYear");
    nameText = column(detail.add<printing::Label>(QRectF()), nameLeft, typeLeft - nameLeft - gap);
    nameText->onPrint = [this](QString& v) { fillUserName(v); };
    typeText = field(typeLeft, goalLeft - typeLeft - gap, "TypeDescription");
    goalText = field(goalLeft, right - goalLeft, "GoalDescription");
    goalText->followsRightEdge = true;
}

void GoalsReport::fillUserName(QString& value) {
    engine::Field user = rows_.field(QStringLiteral("UserNumber"));
    if (user.isNull()) {
        value.clear();
        return;
    }
    // Each row is measured before it is drawn, and the pages are counted first: one look-up
    // per user and run.
    const int number = int(user.asInteger());
    auto known = userNames_.constFind(number);
    if (known == userNames_.cend()) known = userNames_.insert(number, data::readUser(dm_, number).name);
    value = *known;
}

} // namespace reports
