#include "engine/Schema.h"

#include <QHash>

namespace engine {

namespace {

std::vector<TableDef> makeTables() {
    using F = FieldType;
    std::vector<TableDef> t;
    t.push_back({"User.db",
                 "user",
                 {{"UserNumber", F::AutoInc},
                  {"UserID", F::Text, 40},
                  {"UserPassword", F::Text, 40},
                  {"UserName", F::Text, 40},
                  {"SecurityID", F::Integer},
                  {"DepartmentID", F::Integer}},
                 {{"IUserName", {"UserName"}}, {"UserIdKey", {"UserID"}, false}}});
    std::vector<ColumnDef> security{{"SecurityID", F::AutoInc}, {"Description", F::Text, 40}};
    for (const char* right :
         {"Supervisor", "CanChangeSystem", "CanAddUser", "CanPackDatabase", "CanViewSecurity", "CanAddGoals",
          "CanAddDepartments", "CanPrintReports", "CanAddStrategy", "CanViewAllStrategys", "CanAddGoalType",
          "CanAddGlobalGoals", "CanModifyAllGoals"})
        security.push_back({right, F::Logical});
    t.push_back({"Security.db", "security", security, {}});
    t.push_back({"Settings.db",
                 "settings",
                 {{"DisableLogin", F::Logical},
                  {"AutoLogon", F::Logical},
                  {"NoGoalYear", F::Logical},
                  {"SendToPrinter", F::Logical},
                  {"MultipulMeasure", F::Logical},
                  {"ReportBitMap", F::Text, 255},
                  {"ReportTitle1", F::Text, 80},
                  {"ReportTitle2", F::Text, 80}},
                 {}});
    t.push_back({"goals.db",
                 "goals",
                 {{"GoalID", F::AutoInc},
                  {"GoalDescription", F::Text, 120},
                  {"UserNumber", F::Integer},
                  {"GoalOwner", F::Integer},
                  {"GoalTypeID", F::Integer},
                  {"GoalYear", F::Integer},
                  {"ModifiedBy", F::Integer},
                  {"ModifieDate", F::DateTime}},
                 // A screen shows the goals of a year and type for one user: with the user in the
                 // index, it reads those goals alone instead of every goal of the year and type.
                 // The filter reads every column of those goals, and the second index holds them
                 // all: the goals of a year lie together in it, where in the table each is on a
                 // page of its own, and a table several times larger costs that much more to read.
                 {{"GoalName", {"GoalDescription"}},
                  {"GoalYearUserKey", {"GoalYear", "GoalTypeID", "UserNumber"}, false},
                  {"GoalYearUserRow",
                   {"GoalYear", "GoalTypeID", "UserNumber", "GoalDescription", "GoalOwner", "ModifiedBy",
                    "ModifieDate"},
                   false}}});
    t.push_back({"Strategys.db",
                 "strategys",
                 {{"StrategyID", F::AutoInc},
                  {"StrategyNumber", F::Integer},
                  {"StrategyDescription", F::Memo, 80},
                  {"Responsibility", F::Memo, 240},
                  {"Deliverable", F::Memo, 240},
                  {"Measurement", F::Memo, 240},
                  {"CompleationDate", F::Date},
                  {"AddationalResources", F::Memo, 240},
                  {"CommentsStatus", F::Memo, 240},
                  {"DoNotPrint", F::Logical},
                  {"UserNumber", F::Integer},
                  {"ModifiedBy", F::Integer},
                  {"ModifiedDate", F::DateTime},
                  {"GoalID", F::Integer},
                  {"Compleated", F::Logical}},
                 // The overdue list reads every strategy's owner, goal, number and due state: from this
                 // index alone, without the memos that fill the table's pages.
                 {{"StrategyGoalUser", {"GoalID", "UserNumber"}, false},
                  {"StrategyUser", {"UserNumber"}, false},
                  {"StrategyOwnerDue",
                   {"UserNumber", "GoalID", "StrategyNumber", "CompleationDate", "Compleated"},
                   false}}});
    t.push_back({"Department.db",
                 "department",
                 {{"DepartmentID", F::AutoInc},
                  {"Description", F::Text, 40},
                  {"ModifiedBy", F::Integer},
                  {"ModifiedDate", F::DateTime}},
                 {{"DeptName", {"Description"}}}});
    t.push_back({"GoalType.db",
                 "goaltype",
                 {{"GoalTypeID", F::AutoInc},
                  {"TypeDescription", F::Text, 40},
                  {"ModifiedBy", F::Integer},
                  {"ModifiedDate", F::DateTime}},
                 {}});
    t.push_back({"accesslist.db",
                 "accesslist",
                 {{"AccessIDNumber", F::AutoInc},
                  {"UserNumber", F::Integer},
                  {"CanSeeUser", F::Integer},
                  {"CanEditUser", F::Logical}},
                 {{"AccessOwner", {"UserNumber"}, false}, {"AccessSeen", {"CanSeeUser"}, false}}});
    t.push_back(
        {"Measure.db",
         "measure",
         {{"MeasurementID", F::AutoInc},
          {"StrategyID", F::Number},
          {"MeasurementNumber", F::Number},
          {"Measurement", F::Memo, 200},
          {"CompleationDate", F::Date},
          {"Compleated", F::Logical},
          {"ModifiedBy", F::Number},
          {"ModifiedDate", F::DateTime},
          {"Deliverable", F::Memo, 200}},
         // The overdue list reads the items not completed whose date has passed: from this index
         // alone, as two ranges (no completion, or false), each in the order the list shows them.
         {{"MNumber", {"StrategyID", "MeasurementNumber"}},
          {"MeasureDate", {"CompleationDate"}, false},
          {"MeasureOpenDue", {"Compleated", "CompleationDate", "StrategyID", "MeasurementNumber"}, false}}});
    return t;
}

} // namespace

QString quoteIdentifier(const QString& name) {
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString TableDef::qualifiedName() const {
    return quoteIdentifier(schemaName) + QLatin1Char('.') + quoteIdentifier(schemaName);
}

int TableDef::columnIndex(const QString& name) const {
    auto it = positions.constFind(name);
    if (it != positions.constEnd()) return it.value();
    it = positions.constFind(name.toLower());
    return it != positions.constEnd() ? it.value() : -1;
}

const IndexDef* TableDef::index(const QString& name) const {
    for (const auto& ix : indexes)
        if (ix.named && ix.name.compare(name, Qt::CaseInsensitive) == 0) return &ix;
    return nullptr;
}

const std::vector<TableDef>& tables() {
    static const std::vector<TableDef> all = [] {
        std::vector<TableDef> t = makeTables();
        for (TableDef& d : t)
            for (size_t i = 0; i < d.columns.size(); ++i) {
                d.positions.insert(d.columns[i].name, int(i));
                d.positions.insert(d.columns[i].name.toLower(), int(i));
            }
        return t;
    }();
    return all;
}

const TableDef* findTable(const QString& fileName) {
    QString base = fileName.trimmed();
    if (base.endsWith(QStringLiteral(".db"), Qt::CaseInsensitive)) base.chop(3);
    for (const auto& t : tables())
        if (t.schemaName.compare(base, Qt::CaseInsensitive) == 0) return &t;
    return nullptr;
}

const std::vector<SeedRow>& seedRows() {
    static const std::vector<SeedRow> rows = [] {
        std::vector<SeedRow> out;
        out.push_back({findTable(QStringLiteral("Settings.db")),
                       {"DisableLogin", "AutoLogon", "NoGoalYear", "SendToPrinter", "MultipulMeasure"},
                       {0, 0, 0, 1, 0}});
        const TableDef* security = findTable(QStringLiteral("Security.db"));
        SeedRow profile{security, {}, {}};
        for (const ColumnDef& c : security->columns) {
            profile.columns << c.name;
            profile.values << (c.type == FieldType::AutoInc   ? QVariant(0)
                               : c.type == FieldType::Logical ? QVariant(1)
                                                              : QVariant(QStringLiteral("Supervisor")));
        }
        out.push_back(profile);
        out.push_back({findTable(QStringLiteral("User.db")),
                       {"UserID", "UserPassword", "UserName", "SecurityID"},
                       {QStringLiteral("Supervisor"), QStringLiteral(""), QStringLiteral("Supervisor"), 0}});
        return out;
    }();
    return rows;
}

bool columnType(const QString& name, FieldType* type) {
    static const QHash<QString, FieldType> byName = [] {
        QHash<QString, FieldType> m;
        for (const auto& t : tables())
            for (const auto& c : t.columns) {
                // A key of one table is a plain integer where another table refers to it.
                const FieldType ft = c.type == FieldType::AutoInc ? FieldType::Integer : c.type;
                m.insert(c.name.toLower(), ft);
            }
        return m;
    }();
    auto it = byName.find(name.toLower());
    if (it == byName.end()) return false;
    *type = it.value();
    return true;
}

} // namespace engine
