#include "data/DataModule.h"

#include "data/UserRules.h"
#include "engine/Error.h"
#include "system/Workstation.h"

#include <QDateTime>

namespace data {

using engine::Record;
namespace sql = engine::sql;

DataModule::DataModule(engine::Session& s, QObject* parent)
    : QObject(parent), session(s), goalDatabase(s),
      userSettingsTable(goalDatabase, QStringLiteral("User.db")),
      securityTable(goalDatabase, QStringLiteral("Security.db")),
      settingsTable(goalDatabase, QStringLiteral("Settings.db")),
      goalsTable(goalDatabase, QStringLiteral("goals.db")),
      strategyTable(goalDatabase, QStringLiteral("Strategys.db")),
      departmentTable(goalDatabase, QStringLiteral("Department.db")),
      goalTypeTable(goalDatabase, QStringLiteral("GoalType.db")),
      accessListTable(goalDatabase, QStringLiteral("accesslist.db")),
      visibleUsersTable(goalDatabase, QStringLiteral("User.DB")),
      measureTable(goalDatabase, QStringLiteral("Measure.db")), userSettingsSource(&userSettingsTable),
      securitySource(&securityTable), settingsSource(&settingsTable), goalsSource(&goalsTable),
      strategySource(&strategyTable), departmentSource(&departmentTable), goalTypeSource(&goalTypeTable),
      accessListSource(&accessListTable), visibleUsersSource(&visibleUsersTable),
      measureSource(&measureTable) {
    const engine::TableDef& goals = goalsTable.def();
    goalColumns_ = {
        goals.columnIndex(QStringLiteral("GoalYear")), goals.columnIndex(QStringLiteral("GoalTypeID")),
        goals.columnIndex(QStringLiteral("UserNumber")), goals.columnIndex(QStringLiteral("GoalOwner"))};
    installRules();
}

DataModule::~DataModule() {
    close();
}

std::vector<engine::Table*> DataModule::tablesInOpenOrder() {
    return {&userSettingsTable, &securityTable, &settingsTable,   &goalsTable,        &strategyTable,
            &departmentTable,   &goalTypeTable, &accessListTable, &visibleUsersTable, &measureTable};
}

std::vector<engine::Table*> DataModule::lookupListTables() {
    return {&goalTypeTable, &departmentTable, &userSettingsTable, &visibleUsersTable, &securityTable};
}

void DataModule::refreshLookupLists() {
    if (!open_) return;
    std::vector<engine::Table*> lists;
    for (engine::Table* t : lookupListTables())
        // A pending change belongs to the screen that began it (refreshing would post it).
        if (t->isOpen() && !t->isEditing()) lists.push_back(t);
    engine::Table::refreshIfChanged(lists);
}

namespace {
bool isNot(const Record& r, const char* column, qint64 value) {
    const QString c = QString::fromLatin1(column);
    return !r.isNull(c) && r.asInteger(c) != value;
}
bool is(const Record& r, const char* column, qint64 value) {
    const QString c = QString::fromLatin1(column);
    return !r.isNull(c) && r.asInteger(c) == value;
}
// Every profile but the supervisor's (number 0), which no list offers.
engine::PreSelection notSupervisor() {
    engine::PreSelection p;
    p.condition.add("SecurityID <> 0");
    return p;
}

// The goals a filter may accept, as alternatives that each fix the leading columns of the goals'
// index on year, type and user: the store then reads the goals of one user of a year and type
// rather than every goal of them (a condition that ands two Or's is read by a scan), also when
// the table adds the row it stands on as one more alternative. `owner`: only his goals.
engine::PreSelection goalPreSelection(const GoalFilter& f, std::optional<int> owner) {
    engine::PreSelection p;
    engine::SqlText& c = p.condition;
    const int years = f.year ? 2 : 1, users = f.byUser ? 2 : 1;
    for (int y = 0; y < years; ++y)
        for (int u = 0; u < users; ++u) {
            c.add(y + u == 0 ? "((" : "Or (");
            if (!f.year)
                c.add("1 = 1");
            else if (y == 1)
                c.add("GoalYear Is Null");
            else if (f.type == -1)
                c.add("GoalYear = ", sql::Int{*f.year});
            else
                c.add("GoalYear = ", sql::Int{*f.year}, " And GoalTypeID = ", sql::Int{f.type});
            if (f.byUser && u == 0)
                c.add("And UserNumber = ", sql::Int{f.user});
            else if (f.byUser)
                c.add("And UserNumber Is Null");
            if (owner) c.add("And GoalOwner = ", sql::Int{*owner});
            c.add(")");
        }
    c.add(")");
    return p;
}
} // namespace

void DataModule::installFilters() {
    // Each filter has a pre-selection: an indexed superset of what it accepts.
    userSettingsTable.setOnFilterRecord(
        [this](const Record& r) {
            if (!userIdFilter_.isEmpty())
                return !r.isNull(QStringLiteral("UserId")) &&
                       sameUserId(r.asString(QStringLiteral("UserId")), userIdFilter_);
            // A user whose profile is missing stays listed, so that an administrator can give him one.
            return r.isNull(QStringLiteral("SecurityID")) || r.asInteger(QStringLiteral("SecurityID")) != 0;
        },
        [this] {
            // SQLite's Upper knows only ASCII letters: the user id is matched by the filter alone.
            engine::PreSelection p;
            if (userIdFilter_.isEmpty()) p.condition.add("(SecurityID Is Null Or SecurityID <> 0)");
            return p;
        });
    securityTable.setOnFilterRecord([](const Record& r) { return isNot(r, "SecurityID", 0); }, notSupervisor);
    goalsTable.setOnFilterRecord(
        [this](const Record& r) { return acceptsGoal(r); },
        [this] {
            const bool ownOnly = goalFilter_.ownOnly && !user_.rights.canModifyAllGoals;
            return goalPreSelection(goalFilter_, ownOnly ? std::optional<int>(user_.number) : std::nullopt);
        });
    strategyTable.setOnFilterRecord(
        [this](const Record& r) {
            const qint64 user =
                r.isNull(QStringLiteral("UserNumber")) ? -1 : r.asInteger(QStringLiteral("UserNumber"));
            return is(r, "GoalID", strategies_.goal) && user == strategies_.user;
        },
        [this] {
            engine::PreSelection p;
            if (strategies_.user == -1)
                p.condition.add("GoalID = ", sql::Int{strategies_.goal},
                                " And (UserNumber Is Null Or UserNumber = -1)");
            else
                p.condition.add("GoalID = ", sql::Int{strategies_.goal},
                                " And UserNumber = ", sql::Int{strategies_.user});
            return p;
        });
    accessListTable.setOnFilterRecord(
        [this](const Record& r) { return is(r, "UserNumber", accessListOwner_); },
        [this] {
            engine::PreSelection p;
            p.condition.add("UserNumber = ", sql::Int{accessListOwner_});
            return p;
        });
    visibleUsersTable.setOnFilterRecord(
        [this](const Record& r) {
            return !r.isNull(QStringLiteral("UserNumber")) &&
                   user_.maySee(int(r.asInteger(QStringLiteral("UserNumber"))));
        },
        [this] {
            engine::PreSelection p;
            if (!user_.seesEveryone()) {
                sql::IntList users;
                for (int u : user_.visibleUsers())
                    users.values << u;
                p.condition.add("UserNumber In ", users);
            }
            return p;
        });
    measureTable.setOnFilterRecord([this](const Record& r) { return is(r, "StrategyID", measuredStrategy_); },
                                   [this] {
                                       engine::PreSelection p;
                                       p.condition.add("StrategyID = ", sql::Int{measuredStrategy_});
                                       return p;
                                   });
}

namespace {
// The integer of a column of a record's stored values, as Record::asInteger reads it; none for a
// null.
std::optional<qint64> integerAt(const Record& r, int column) {
    const QVariant v = r.values().value(column);
    if (v.isNull() || !v.isValid()) return std::nullopt;
    return v.toLongLong();
}
} // namespace

bool DataModule::acceptsGoal(const Record& r) const {
    const GoalColumns& at = goalColumns_;
    const GoalFilter& f = goalFilter_;
    if (const std::optional<qint64> year = integerAt(r, at.year); f.year && year) {
        // The type counts only together with the year; a goal without a type is of no type.
        const std::optional<qint64> type = integerAt(r, at.type);
        if (*year != *f.year || (f.type != -1 && type != f.type)) return false;
    }
    if (const std::optional<qint64> user = integerAt(r, at.user); f.byUser && user && *user != f.user)
        return false;
    if (f.ownOnly) return integerAt(r, at.owner) == user_.number || user_.rights.canModifyAllGoals;
    return true;
}

bool DataModule::showVisibleUsersOnly() {
    // Filtered already, its rows may be those of whoever was logged on when it was read.
    if (user_.seesEveryone() && !visibleUsersTable.filtered()) return false;
    visibleUsersTable.setFiltered(true);
    return true;
}

namespace {
// A goal, a goal type and a department are known by their description alone: one without it
// (or with blanks only) could not be told apart in any list or report. Checked here, so that
// the screens' Save, a grid edited in place and settling a pending row on a move obey alike;
// the row stays pending for the person to type the text. The caption is the screen's own.
void requireText(engine::Table& t, const char* field, const char* caption) {
    if (t.field(QString::fromLatin1(field)).asString().trimmed().isEmpty())
        throw engine::Error(QStringLiteral("Please enter a %1.").arg(QString::fromLatin1(caption)));
}
} // namespace

void DataModule::installRules() {
    userSettingsTable.setIndexName(QStringLiteral("IUserName"));
    goalsTable.setIndexName(QStringLiteral("GoalName"));
    departmentTable.setIndexName(QStringLiteral("DeptName"));
    visibleUsersTable.setIndexName(QStringLiteral("IUserName"));
    measureTable.setIndexName(QStringLiteral("MNumber"));
    // Small tables: read whole at once, and again only after someone wrote to them.
    for (engine::Table* t : lookupListTables())
        t->setReadsWhole(true);
    installFilters();

    userSettingsTable.setBeforePost([this](engine::Table& t) { checkUserId(t); });
    visibleUsersTable.setBeforePost([this](engine::Table& t) { checkUserId(t); });
    goalsTable.setBeforePost([this](engine::Table& t) {
        requireText(t, "GoalDescription", "Goal");
        stamp(t, "ModifieDate");
    });
    strategyTable.setBeforePost([this](engine::Table& t) { stamp(t, "ModifiedDate"); });
    departmentTable.setBeforePost([this](engine::Table& t) {
        requireText(t, "Description", "Description");
        stamp(t, "ModifiedDate");
    });
    goalTypeTable.setBeforePost([this](engine::Table& t) {
        requireText(t, "TypeDescription", "Description");
        stamp(t, "ModifiedDate");
    });
    measureTable.setBeforePost([this](engine::Table& t) { stamp(t, "ModifiedDate"); });
    accessListTable.setBeforePost([this](engine::Table& t) { checkAccessRow(*this, t); });

    // Workstations inserting at once would otherwise both take the number the list showed.
    strategyTable.setNumbering(QStringLiteral("StrategyNumber"),
                               {QStringLiteral("GoalID"), QStringLiteral("UserNumber")});
    strategyTable.addLookupField({QStringLiteral("GoalDescription"), QStringLiteral("GoalID"), &goalsTable,
                                  QStringLiteral("GoalID"), QStringLiteral("GoalDescription"), 50});
    strategyTable.addCalculatedField({QStringLiteral("ShortStrategy"), engine::FieldType::Text, 80});
    strategyTable.setOnCalcFields([](const Record& r, QHash<QString, QVariant>& out) {
        out.insert(QStringLiteral("ShortStrategy"), r.asString(QStringLiteral("StrategyDescription")));
    });
    accessListTable.addLookupField({QStringLiteral("UserName"), QStringLiteral("CanSeeUser"),
                                    &userSettingsTable, QStringLiteral("UserNumber"),
                                    QStringLiteral("UserName"), 40});
    measureTable.addCalculatedField({QStringLiteral("ShortMeasure"), engine::FieldType::Text, 80});
    measureTable.addCalculatedField({QStringLiteral("ShortDescription"), engine::FieldType::Text, 80});
    measureTable.setOnCalcFields([](const Record& r, QHash<QString, QVariant>& out) {
        out.insert(QStringLiteral("ShortMeasure"), r.asString(QStringLiteral("Measurement")));
        out.insert(QStringLiteral("ShortDescription"), r.asString(QStringLiteral("Deliverable")));
    });
}

QString DataModule::tablePassword() {
    // Without a password in the installation's settings tables are not protected.
    return sys::installationSetting(QStringLiteral("Security/TablePassword"));
}

bool DataModule::tablePasswordHandler(engine::Session& s) {
    const QString pw = tablePassword();
    if (pw.isEmpty()) return false;
    s.addPassword(pw);
    return true;
}

void DataModule::open() {
    session.setPasswordHandler([this](engine::Session& s) { return tablePasswordHandler(s); });
    goalDatabase.open(QStringLiteral("Goal"));
    for (engine::Table* t : tablesInOpenOrder())
        t->open();
    open_ = true;
}

void DataModule::close() {
    for (engine::Table* t : tablesInOpenOrder())
        t->close();
    goalDatabase.close();
    open_ = false;
}

QDateTime stampTime() {
    static qint64 second = -1;
    static QDateTime local;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (now != second) {
        second = now;
        local = QDateTime::currentDateTime();
    }
    return local;
}

QString stampText() {
    return stampTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void DataModule::stamp(engine::Table& t, const char* dateColumn) const {
    t.field(QStringLiteral("ModifiedBy")).setValue(user_.number);
    t.field(QString::fromLatin1(dateColumn)).setValue(stampTime());
}

// A user id is one person's in every letter case: a second row may not take it.
void DataModule::checkUserId(engine::Table& t) {
    const QString id = t.field(QStringLiteral("UserID")).asString();
    const QVariant own = t.field(QStringLiteral("UserNumber")).value();
    engine::Query q(goalDatabase);
    q.add("Select UserNumber, UserID From \"User.db\"");
    q.open();
    bool taken = false;
    bool unchanged = false;
    for (q.first(); !q.eof(); q.next()) {
        const QString stored = q.field(QStringLiteral("UserID")).asString();
        if (!sameUserId(stored, id)) continue;
        if (!own.isNull() && q.field(QStringLiteral("UserNumber")).asInteger() == own.toLongLong())
            unchanged = stored == id;
        else
            taken = true;
    }
    q.close();
    // Ids stored twice before this rule existed can still be edited in everything else.
    if (taken && !unchanged)
        throw engine::Error(QStringLiteral("The user ID \"%1\" is already in use. User IDs are matched "
                                           "without regard to letter case: choose another one.")
                                .arg(id));
    requireUserProfile(t);
}

namespace {
// Runs a numbering query: 1, or one more than its MaxNumber when that holds a value.
int nextAfterMax(engine::Query& q) {
    q.open();
    if (q.isEmpty() || q.field(QStringLiteral("MaxNumber")).isNull()) return 1;
    return int(q.field(QStringLiteral("MaxNumber")).asInteger()) + 1;
}
} // namespace

int DataModule::nextStrategyNumber(const StrategySelection& where) {
    engine::Query q(goalDatabase);
    q.add("Select Max(StrategyNumber) As MaxNumber");
    q.add("From \"Strategys.db\"");
    q.add("Where GoalID = ", sql::Int{where.goal}, "And");
    q.add("UserNumber = ", sql::Int{where.user});
    return nextAfterMax(q);
}

int DataModule::nextMeasurementNumber(int strategy) {
    engine::Query q(goalDatabase);
    q.add("Select Max(MeasurementNumber) As MaxNumber");
    q.add("From \"Measure.db\"");
    q.add("Where StrategyID = ", sql::Int{strategy});
    return nextAfterMax(q);
}

int DataModule::userDepartmentID(int user) {
    engine::Query q(goalDatabase);
    q.add("Select DepartmentID From \"User.db\" Where UserNumber = ", sql::Int{user});
    q.open();
    if (q.isEmpty() || q.field(QStringLiteral("DepartmentID")).isNull()) return -1;
    return int(q.field(QStringLiteral("DepartmentID")).asInteger());
}

QString DataModule::userDepartmentName(int user) {
    engine::Query q(goalDatabase);
    q.add("Select Description From \"Department.db\" Where DepartmentID = ",
          sql::Int{userDepartmentID(user)});
    q.open();
    return q.isEmpty() ? QString() : q.field(QStringLiteral("Description")).asString();
}

} // namespace data
