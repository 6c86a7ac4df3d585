#include "reports/GoalsReport.h"

#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/Logon.h"

GoalsReport::GoalsReport(DataModule& dm, engine::Query& rows, QObject* owner)
    : printing::Report(&rows, owner), dm_(dm), rows_(rows) {
    const QFont f10 = reportFont(10);
    pageHeader.height = 27.8;
    QRLabel1 = pageHeader.add<printing::Label>(QRectF(-2.1, 0, 193.4, 16.4));
    QRLabel1->caption = QStringLiteral("Vardimo");
    QRLabel1->font = reportFont(40);
    QRLabel1->alignment = Qt::AlignHCenter | Qt::AlignTop;
    // The band is as wide as the printable width of the paper: 215.9 - 2 * 12.7 mm.
    const double right = 215.9 - 2 * marginMm;
    QRSysData2 = pageHeader.add<printing::SysData>(QRectF(0, 16.9, right, 4.2));
    QRSysData2->kind = printing::SysData::Kind::DateTime;
    QRSysData2->alignment = Qt::AlignRight;
    QRSysData2->font = f10;
    QRSysData1 = pageHeader.add<printing::SysData>(QRectF(0, 21.2, right, 4.2));
    QRSysData1->kind = printing::SysData::Kind::PageNumber;
    QRSysData1->prefix = QStringLiteral("Page: ");
    QRSysData1->alignment = Qt::AlignRight;
    QRSysData1->font = f10;
    auto heading = [&](double left, const char* text) {
        auto* l = pageHeader.add<printing::Label>(QRectF(left, 21.2, 30, 4.2));
        l->caption = QString::fromLatin1(text);
        l->font = f10;
        return l;
    };
    QRLabel2 = heading(-0.5, "Goal Year");
    QRLabel4 = heading(21.2, "Name");
    QRLabel6 = heading(48.7, "Type");
    QRLabel3 = heading(79.9, "Goal");
    QRShape1 = pageHeader.add<printing::Shape>(QRectF(-0.5, 25.4, 191.8, 2.4));
    QRShape1->brush = Qt::red;

    detail.height = 4.2;
    auto field = [&](double left, const char* name) {
        auto* t = detail.add<printing::DBText>(QRectF(left, 0, 100, 4.2));
        t->field = QString::fromLatin1(name);
        t->font = f10;
        return t;
    };
    QRDBText1 = field(0, "GoalYear");
    QRLabel5 = detail.add<printing::Label>(QRectF(21.2, 0, 27, 4.2));
    QRLabel5->font = f10;
    QRLabel5->onPrint = [this](QString& v) { QRLabel5Print(v); };
    QRDBText3 = field(48.9, "TypeDescription");
    QRDBText2 = field(78.3, "GoalDescription");

    QRLabel2->visible = !dm_.user().settings.noGoalYear;
    QRDBText1->visible = !dm_.user().settings.noGoalYear;
}

void GoalsReport::QRLabel5Print(QString& value) {
    engine::Field user = rows_.field(QStringLiteral("UserNumber"));
    if (user.isNull()) {
        value.clear();
        return;
    }
    value = ReadUser(dm_, int(user.asInteger())).name;
}
