#include "reports/GoalsReport.h"

#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/Logon.h"

namespace reports {

GoalsReport::GoalsReport(data::DataModule& dm, engine::Query& rows, QObject* owner)
    : printing::Report(&rows, owner), dm_(dm), rows_(rows) {
    const QFont f10 = reportFont(10);
    pageHeader.height = 27.8;
    titleLabel = pageHeader.add<printing::Label>(QRectF(-2.1, 0, 193.4, 16.4));
    titleLabel->caption = QStringLiteral("Vardimo");
    titleLabel->font = reportFont(40);
    titleLabel->alignment = Qt::AlignHCenter | Qt::AlignTop;
    // The band is as wide as the printable width of the paper: 215.9 - 2 * 12.7 mm.
    const double right = 215.9 - 2 * marginMm;
    printedAtData = pageHeader.add<printing::SysData>(QRectF(0, 16.9, right, 4.2));
    printedAtData->kind = printing::SysData::Kind::DateTime;
    printedAtData->alignment = Qt::AlignRight;
    printedAtData->font = f10;
    pageNumberData = pageHeader.add<printing::SysData>(QRectF(0, 21.2, right, 4.2));
    pageNumberData->kind = printing::SysData::Kind::PageNumber;
    pageNumberData->prefix = QStringLiteral("Page: ");
    pageNumberData->alignment = Qt::AlignRight;
    pageNumberData->font = f10;
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

    detail.height = 4.2;
    auto field = [&](double left, const char* name) {
        auto* t = detail.add<printing::DBText>(QRectF(left, 0, 100, 4.2));
        t->field = QString::fromLatin1(name);
        t->font = f10;
        return t;
    };
    yearText = field(0, "GoalYear");
    nameText = detail.add<printing::Label>(QRectF(21.2, 0, 27, 4.2));
    nameText->font = f10;
    nameText->onPrint = [this](QString& v) { fillUserName(v); };
    typeText = field(48.9, "TypeDescription");
    goalText = field(78.3, "GoalDescription");

    yearHeading->visible = !dm_.user().settings.noGoalYear;
    yearText->visible = !dm_.user().settings.noGoalYear;
}

void GoalsReport::fillUserName(QString& value) {
    engine::Field user = rows_.field(QStringLiteral("UserNumber"));
    if (user.isNull()) {
        value.clear();
        return;
    }
    value = data::readUser(dm_, int(user.asInteger())).name;
}

} // namespace reports
