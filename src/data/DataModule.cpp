#include "data/DataModule.h"

#include "controls/Dialogs.h"
#include "controls/Screen.h"
#include "data/CurrentUser.h"
#include "data/UserRules.h"
#include "engine/Error.h"
#include "system/Workstation.h"

#include <QCoreApplication>
#include <QDateTime>
#include <algorithm>

using engine::Record;
using engine::SqlText;
namespace sql = engine::sql;

DataModule* ProgramDataForm = nullptr;

void StringList::add(const QString& s) {
    if (!sorted_) {
        items_ << s;
        return;
    }
    auto it = std::lower_bound(items_.begin(), items_.end(), s);
    if (it != items_.end() && *it == s) return; // duplicates ignored
    items_.insert(it, s);
}

DataModule::DataModule(engine::Session& s, QObject* parent)
    : QObject(parent), session(s), GoalDatabase(s),
      UserSettingsTable(GoalDatabase, QStringLiteral("User.db")),
      SecurityTable(GoalDatabase, QStringLiteral("Security.db")),
      SettingsTable(GoalDatabase, QStringLiteral("Settings.db")),
      GoalsTable(GoalDatabase, QStringLiteral("goals.db")),
      StrategyTable(GoalDatabase, QStringLiteral("Strategys.db")),
      DepartmentTable(GoalDatabase, QStringLiteral("Department.db")),
      GoalTypeTable(GoalDatabase, QStringLiteral("GoalType.db")),
      AccessListTable(GoalDatabase, QStringLiteral("accesslist.db")),
      UserTable2(GoalDatabase, QStringLiteral("User.DB")),
      MeasureTable(GoalDatabase, QStringLiteral("Measure.db")), UserSettingsSource(&UserSettingsTable),
      SecuritySource(&SecurityTable), SettingsSource(&SettingsTable), GoalsSource(&GoalsTable),
      StrategySource(&StrategyTable), DepartmentSource(&DepartmentTable), GoalTypeSource(&GoalTypeTable),
      AccessListSource(&AccessListTable), UserSource2(&UserTable2), MeasureSource(&MeasureTable),
      UserSettingsQuery(GoalDatabase), SecurityQuery(GoalDatabase), SettingsQuery(GoalDatabase),
      GoalsQuery(GoalDatabase), Strategyquery(GoalDatabase), DepartmentQuery(GoalDatabase),
      GoalTypeQuery(GoalDatabase), AccessListQuery(GoalDatabase), MeasureQuery(GoalDatabase) {
    installRules();
    ProgramDataForm = this;
}

DataModule::~DataModule() {
    DataModuleDestroy();
    if (ProgramDataForm == this) ProgramDataForm = nullptr;
}

std::vector<engine::Table*> DataModule::tablesInOpenOrder() {
    return {&UserSettingsTable, &SecurityTable, &SettingsTable,   &GoalsTable, &StrategyTable,
            &DepartmentTable,   &GoalTypeTable, &AccessListTable, &UserTable2, &MeasureTable};
}

std::vector<engine::Table*> DataModule::lookupListTables() {
    return {&GoalTypeTable, &DepartmentTable, &UserSettingsTable, &UserTable2, &SecurityTable};
}

void DataModule::RefreshLookupLists() {
    for (engine::Table* t : lookupListTables())
        // A pending change belongs to the screen that began it (refreshing would post it).
        if (t->isOpen() && !t->isEditing()) t->refreshIfChanged();
}

void DataModule::installRules() {
    UserSettingsTable.setIndexName(QStringLiteral("IUserName"));
    GoalsTable.setIndexName(QStringLiteral("GoalName"));
    DepartmentTable.setIndexName(QStringLiteral("DeptName"));
    UserTable2.setIndexName(QStringLiteral("IUserName"));
    MeasureTable.setIndexName(QStringLiteral("MNumber"));

    // Each filter has a pre-selection: an indexed superset of what it accepts.
    UserSettingsTable.setOnFilterRecord([this](const Record& r) { return UserSettingsTableFilterRecord(r); },
                                        [this] {
                                            // SQLite's Upper knows only ASCII letters: the
                                            // user id is matched by the filter alone.
                                            engine::PreSelection p;
                                            if (UserIdFilter.isEmpty())
                                                p.condition.add("(SecurityID Is Null Or SecurityID <> 0)");
                                            return p;
                                        });
    SecurityTable.setOnFilterRecord([this](const Record& r) { return SecurityTableFilterRecord(r); },
                                    [] {
                                        engine::PreSelection p;
                                        p.condition.add("SecurityID <> 0");
                                        return p;
                                    });
    GoalsTable.setOnFilterRecord(
        [this](const Record& r) { return GoalsTableFilterRecord(r); },
        [this] {
            engine::PreSelection p;
            bool ok = false;
            const int year = GoalYearFilter.toInt(&ok);
            if (!GoalYearFilter.isEmpty() && ok) {
                if (GoalTypeFilter != -1)
                    p.condition.add("(GoalYear Is Null Or (GoalYear = ", sql::Int{year},
                                    " And GoalTypeID = ", sql::Int{GoalTypeFilter}, "))");
                else
                    p.condition.add("(GoalYear Is Null Or GoalYear = ", sql::Int{year}, ")");
            } else {
                p.condition.add("1 = 1");
            }
            if (FilterGoalsByUser)
                p.condition.add("And (UserNumber Is Null Or UserNumber = ", sql::Int{SelectedUserNumber},
                                ")");
            if (GoalOwnerFilter && !SecurityData.CanModifyAllGoals)
                p.condition.add("And GoalOwner = ", sql::Int{LoginData.UserNumber});
            return p;
        });
    StrategyTable.setOnFilterRecord([this](const Record& r) { return StrategyTableFilterRecord(r); },
                                    [this] {
                                        engine::PreSelection p;
                                        if (SelectedUserNumber == -1)
                                            p.condition.add("GoalID = ", sql::Int{CurrentGoalID},
                                                            " And (UserNumber Is Null Or UserNumber = -1)");
                                        else
                                            p.condition.add(
                                                "GoalID = ", sql::Int{CurrentGoalID},
                                                " And UserNumber = ", sql::Int{SelectedUserNumber});
                                        return p;
                                    });
    AccessListTable.setOnFilterRecord([this](const Record& r) { return AccessListTableFilterRecord(r); },
                                      [this] {
                                          engine::PreSelection p;
                                          p.condition.add("UserNumber = ", sql::Int{AccessListOwner});
                                          return p;
                                      });
    UserTable2.setOnFilterRecord([this](const Record& r) { return UserTable2FilterRecord(r); },
                                 [this] {
                                     engine::PreSelection p;
                                     if (!SecurityData.Supervisor && !SecurityData.CanViewAllStrategys) {
                                         sql::IntList users;
                                         users.values << LoginData.UserNumber;
                                         for (const QString& s : CanSeeList->items())
                                             users.values << s.toLongLong();
                                         p.condition.add("UserNumber In ", users);
                                     }
                                     return p;
                                 });
    MeasureTable.setOnFilterRecord([this](const Record& r) { return MeasureTableFilterRecord(r); },
                                   [this] {
                                       engine::PreSelection p;
                                       p.condition.add("StrategyID = ", sql::Int{CurrentStrategyID});
                                       return p;
                                   });

    UserSettingsTable.setBeforePost([this](engine::Table& t) { UserTableBeforePost(t); });
    UserTable2.setBeforePost([this](engine::Table& t) { UserTableBeforePost(t); });
    GoalsTable.setBeforePost([this](engine::Table& t) { GoalsTableBeforePost(t); });
    StrategyTable.setBeforePost([this](engine::Table& t) { StrategyTableBeforePost(t); });
    DepartmentTable.setBeforePost([this](engine::Table& t) { DepartmentTableBeforePost(t); });
    GoalTypeTable.setBeforePost([this](engine::Table& t) { GoalTypeTableBeforePost(t); });
    MeasureTable.setBeforePost([this](engine::Table& t) { MeasureTableBeforePost(t); });
    AccessListTable.setBeforePost([this](engine::Table& t) { CheckAccessRow(*this, t); });

    StrategyTable.addLookupField({QStringLiteral("GoalDescription"), QStringLiteral("GoalID"), &GoalsTable,
                                  QStringLiteral("GoalID"), QStringLiteral("GoalDescription"), 50});
    StrategyTable.addCalculatedField({QStringLiteral("ShortStrategy"), engine::FieldType::Text, 80});
    StrategyTable.setOnCalcFields(
        [this](const Record& r, QHash<QString, QVariant>& out) { StrategyTableCalcFields(r, out); });
    AccessListTable.addLookupField({QStringLiteral("UserName"), QStringLiteral("CanSeeUser"),
                                    &UserSettingsTable, QStringLiteral("UserNumber"),
                                    QStringLiteral("UserName"), 40});
    MeasureTable.addCalculatedField({QStringLiteral("ShortMeasure"), engine::FieldType::Text, 80});
    MeasureTable.addCalculatedField({QStringLiteral("ShortDescription"), engine::FieldType::Text, 80});
    MeasureTable.setOnCalcFields(
        [this](const Record& r, QHash<QString, QVariant>& out) { MeasureTableCalcFields(r, out); });

    GoalsQuery.add("Select G.*, T.TypeDescription From \"Goals.DB\" G, \"GoalType\" T");
    GoalsQuery.add("Where G.GoalTypeID = T.GoalTypeID");
}

QString DataModule::TablePassword() {
    // Without a password in the installation's settings tables are not protected.
    return sys::installationSetting(QStringLiteral("Security/TablePassword"));
}

bool DataModule::TablePasswordHandler(engine::Session& s) {
    const QString pw = TablePassword();
    if (pw.isEmpty()) return false;
    s.addPassword(pw);
    return true;
}

bool DataModule::DataModuleCreate() {
    CanSeeList = std::make_unique<StringList>();
    CanEditList = std::make_unique<StringList>();
    session.setPasswordHandler([this](engine::Session& s) { return TablePasswordHandler(s); });
    try {
        GoalDatabase.open(QStringLiteral("Goal"));
        for (engine::Table* t : tablesInOpenOrder())
            t->open();
    } catch (const engine::Error& e) {
        controls::showError(e.message());
        if (QCoreApplication::instance()) QCoreApplication::exit(1);
        return false;
    }
    created_ = true;
    // Every screen opening reads the lookup lists again: a running program never offers a row
    // that another workstation has deleted. The screens work on the one instance.
    controls::setScreenOpening([] {
        if (ProgramDataForm && ProgramDataForm->created()) ProgramDataForm->RefreshLookupLists();
    });
    return true;
}

void DataModule::DataModuleDestroy() {
    CanSeeList.reset();
    CanEditList.reset();
    for (engine::Table* t : tablesInOpenOrder())
        t->close();
    GoalDatabase.close();
    created_ = false;
}

// ---- Record rules ---------------------------------------------------------------------------

bool DataModule::UserSettingsTableFilterRecord(const Record& r) const {
    if (!UserIdFilter.isEmpty())
        return !r.isNull(QStringLiteral("UserId")) &&
               SameUserId(r.asString(QStringLiteral("UserId")), UserIdFilter);
    // A user whose profile is missing stays listed, so that an administrator can give him one.
    return r.isNull(QStringLiteral("SecurityID")) || r.asInteger(QStringLiteral("SecurityID")) != 0;
}

bool DataModule::SecurityTableFilterRecord(const Record& r) const {
    return !r.isNull(QStringLiteral("SecurityID")) && r.asInteger(QStringLiteral("SecurityID")) != 0;
}

bool DataModule::GoalsTableFilterRecord(const Record& r) const {
    bool accept = true;
    if (!GoalYearFilter.isEmpty() && !r.isNull(QStringLiteral("GoalYear"))) {
        // The type counts only together with the year; a goal without a type is of no type.
        const bool otherYear = QString::number(r.asInteger(QStringLiteral("GoalYear"))) != GoalYearFilter;
        const bool otherType =
            GoalTypeFilter != -1 && (r.isNull(QStringLiteral("GoalTypeID")) ||
                                     r.asInteger(QStringLiteral("GoalTypeID")) != GoalTypeFilter);
        accept = !otherYear && !otherType;
    }
    if (accept && FilterGoalsByUser && !r.isNull(QStringLiteral("UserNumber")) &&
        r.asInteger(QStringLiteral("UserNumber")) != SelectedUserNumber)
        accept = false;
    if (accept && GoalOwnerFilter) accept = AcceptFilterGoalOwner(r);
    return accept;
}

bool DataModule::AcceptFilterGoalOwner(const Record& r) const {
    return (!r.isNull(QStringLiteral("GoalOwner")) &&
            r.asInteger(QStringLiteral("GoalOwner")) == LoginData.UserNumber) ||
           SecurityData.CanModifyAllGoals;
}

bool DataModule::StrategyTableFilterRecord(const Record& r) const {
    const qint64 user =
        r.isNull(QStringLiteral("UserNumber")) ? -1 : r.asInteger(QStringLiteral("UserNumber"));
    return !r.isNull(QStringLiteral("GoalID")) && r.asInteger(QStringLiteral("GoalID")) == CurrentGoalID &&
           user == SelectedUserNumber;
}

bool DataModule::AccessListTableFilterRecord(const Record& r) const {
    return !r.isNull(QStringLiteral("UserNumber")) &&
           r.asInteger(QStringLiteral("UserNumber")) == AccessListOwner;
}

bool DataModule::UserTable2FilterRecord(const Record& r) const {
    return !r.isNull(QStringLiteral("UserNumber")) &&
           MaySeeUser(int(r.asInteger(QStringLiteral("UserNumber"))));
}

bool DataModule::MeasureTableFilterRecord(const Record& r) const {
    return !r.isNull(QStringLiteral("StrategyID")) &&
           r.asInteger(QStringLiteral("StrategyID")) == CurrentStrategyID;
}

namespace {
void stamp(engine::Table& t, const char* dateColumn) {
    t.field(QStringLiteral("ModifiedBy")).setValue(LoginData.UserNumber);
    t.field(QString::fromLatin1(dateColumn)).setValue(QDateTime::currentDateTime());
}
} // namespace

void DataModule::UserTableBeforePost(engine::Table& t) {
    const QString id = t.field(QStringLiteral("UserID")).asString();
    const QVariant own = t.field(QStringLiteral("UserNumber")).value();
    engine::Query q(GoalDatabase);
    q.add("Select UserNumber, UserID From \"User.db\"");
    q.prepare();
    q.open();
    bool taken = false;
    bool unchanged = false;
    for (q.first(); !q.eof(); q.next()) {
        const QString stored = q.field(QStringLiteral("UserID")).asString();
        if (!SameUserId(stored, id)) continue;
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
    RequireUserProfile(t);
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

void DataModule::GoalsTableBeforePost(engine::Table& t) {
    requireText(t, "GoalDescription", "Goal");
    stamp(t, "ModifieDate");
}
void DataModule::StrategyTableBeforePost(engine::Table& t) {
    stamp(t, "ModifiedDate");
}
void DataModule::DepartmentTableBeforePost(engine::Table& t) {
    requireText(t, "Description", "Description");
    stamp(t, "ModifiedDate");
}
void DataModule::GoalTypeTableBeforePost(engine::Table& t) {
    requireText(t, "TypeDescription", "Description");
    stamp(t, "ModifiedDate");
}
void DataModule::MeasureTableBeforePost(engine::Table& t) {
    stamp(t, "ModifiedDate");
}

void DataModule::StrategyTableCalcFields(const Record& r, QHash<QString, QVariant>& out) const {
    out.insert(QStringLiteral("ShortStrategy"), r.asString(QStringLiteral("StrategyDescription")));
}

void DataModule::MeasureTableCalcFields(const Record& r, QHash<QString, QVariant>& out) const {
    out.insert(QStringLiteral("ShortMeasure"), r.asString(QStringLiteral("Measurement")));
    out.insert(QStringLiteral("ShortDescription"), r.asString(QStringLiteral("Deliverable")));
}

namespace {
// Runs a numbering query: 1, or one more than its MaxNumber when that holds a value.
int nextAfterMax(engine::Query& q) {
    q.prepare();
    q.open();
    int result = 1;
    if (!q.isEmpty() && !q.field(QStringLiteral("MaxNumber")).isNull())
        result = int(q.field(QStringLiteral("MaxNumber")).asInteger()) + 1;
    q.close();
    q.unprepare();
    return result;
}
} // namespace

int DataModule::NextStrategyNumber(int user) {
    if (user == -1) user = SelectedUserNumber;
    Strategyquery.close();
    Strategyquery.clear();
    Strategyquery.add("Select Max(StrategyNumber) As MaxNumber");
    Strategyquery.add("From \"Strategys.db\"");
    Strategyquery.add("Where GoalID = ", sql::Int{CurrentGoalID}, "And");
    Strategyquery.add("UserNumber = ", sql::Int{user});
    return nextAfterMax(Strategyquery);
}

int DataModule::NextMeasurementNumber() {
    MeasureQuery.close();
    MeasureQuery.clear();
    MeasureQuery.add("Select Max(MeasurementNumber) As MaxNumber");
    MeasureQuery.add("From \"Measure.db\"");
    MeasureQuery.add("Where StrategyID = ", sql::Int{CurrentStrategyID});
    return nextAfterMax(MeasureQuery);
}

// ---- Access lists and lookups ---------------------------------------------------------------

void DataModule::LoadAccessLists(int user) {
    VisibleUserSet = QStringLiteral("(") + QString::number(LoginData.UserNumber);
    CanSeeList->clear();
    CanSeeList->setSorted(true);
    AccessListQuery.close();
    AccessListQuery.clear();
    AccessListQuery.add("Select * From \"AccessList.db\"");
    AccessListQuery.add("Where UserNumber = ", sql::Int{user});
    AccessListQuery.prepare();
    AccessListQuery.open();
    for (AccessListQuery.first(); !AccessListQuery.eof(); AccessListQuery.next()) {
        if (AccessListQuery.field(QStringLiteral("CanSeeUser")).isNull()) continue;
        const QString t = QString::number(AccessListQuery.field(QStringLiteral("CanSeeUser")).asInteger());
        CanSeeList->add(t);
        if (!AccessListQuery.field(QStringLiteral("CanEditUser")).isNull() &&
            AccessListQuery.field(QStringLiteral("CanEditUser")).asBoolean())
            CanEditList->add(t);
        VisibleUserSet += QStringLiteral(", ") + t;
    }
    VisibleUserSet += QStringLiteral(")");
    AccessListQuery.close();
    AccessListQuery.unprepare();
}

namespace {
bool inList(const StringList* list, int n) {
    bool found = false;
    if (list)
        for (const QString& s : list->items())
            if (s.toInt() == n) found = true;
    return found;
}
} // namespace

bool DataModule::MaySeeUser(int n) const {
    return n == LoginData.UserNumber || SecurityData.Supervisor || SecurityData.CanViewAllStrategys ||
           inList(CanSeeList.get(), n);
}

bool DataModule::MayEditUser(int n) const {
    return n == LoginData.UserNumber || SecurityData.Supervisor || SecurityData.CanViewAllStrategys ||
           inList(CanEditList.get(), n);
}

namespace {
void openUserByNumber(engine::Query& q, int n) {
    q.close();
    q.clear();
    q.add("Select * From \"User.db\" Where UserNumber = ", sql::Int{n});
    q.prepare();
    q.open();
}
} // namespace

void DataModule::LookupUser(int n, TLoginData& r) {
    r.SecurityID = -1;
    r.UserName.clear();
    r.UserNumber = -1;
    openUserByNumber(UserSettingsQuery, n);
    if (!UserSettingsQuery.isEmpty()) {
        if (!UserSettingsQuery.field(QStringLiteral("SecurityID")).isNull())
            r.SecurityID = int(UserSettingsQuery.field(QStringLiteral("SecurityID")).asInteger());
        if (!UserSettingsQuery.field(QStringLiteral("UserName")).isNull())
            r.UserName = UserSettingsQuery.field(QStringLiteral("UserName")).asString();
        if (!UserSettingsQuery.field(QStringLiteral("UserNumber")).isNull())
            r.UserNumber = int(UserSettingsQuery.field(QStringLiteral("UserNumber")).asInteger());
    }
    UserSettingsQuery.close();
    UserSettingsQuery.unprepare();
}

int DataModule::UserDepartmentID(int n) {
    int result = -1;
    openUserByNumber(UserSettingsQuery, n);
    if (!UserSettingsQuery.isEmpty() && !UserSettingsQuery.field(QStringLiteral("DepartmentID")).isNull())
        result = int(UserSettingsQuery.field(QStringLiteral("DepartmentID")).asInteger());
    UserSettingsQuery.close();
    UserSettingsQuery.unprepare();
    return result;
}

QString DataModule::UserDepartmentName(int n) {
    const int d = UserDepartmentID(n);
    DepartmentQuery.close();
    DepartmentQuery.clear();
    DepartmentQuery.add("Select * From \"Department.db\" Where DepartmentID = ", sql::Int{d});
    DepartmentQuery.prepare();
    DepartmentQuery.open();
    QString result;
    if (!DepartmentQuery.isEmpty() && !DepartmentQuery.field(QStringLiteral("Description")).isNull())
        result = DepartmentQuery.field(QStringLiteral("Description")).asString();
    DepartmentQuery.close();
    DepartmentQuery.unprepare();
    return result;
}
