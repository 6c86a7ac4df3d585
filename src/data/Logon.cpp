#include "data/Logon.h"

#include "data/DataModule.h"

namespace data {

namespace sql = engine::sql;

namespace {
// Copies a logical field only when it holds a value: a null keeps the value given.
void copyBool(engine::DataSet& ds, const char* name, bool& target) {
    engine::Field f = ds.field(QString::fromLatin1(name));
    if (!f.isNull()) target = f.asBoolean();
}

int intOr(engine::DataSet& ds, const char* name, int fallback) {
    engine::Field f = ds.field(QString::fromLatin1(name));
    return f.isNull() ? fallback : int(f.asInteger());
}

// The query's current row as a user record.
UserRecord userOf(engine::Query& q) {
    UserRecord r;
    r.number = intOr(q, "UserNumber", -1);
    r.profileId = intOr(q, "SecurityID", -1);
    r.name = q.field(QStringLiteral("UserName")).asString();
    return r;
}

// Moves the query to the first row whose user id is the given one in any letter case; false
// when there is none. SQLite's Upper knows only ASCII letters, so the ids are compared here,
// folded the one Unicode way on both sides.
bool findUser(engine::Query& q, const QString& userId) {
    for (q.first(); !q.eof(); q.next())
        if (sameUserId(q.field(QStringLiteral("UserID")).asString(), userId)) return true;
    return false;
}
} // namespace

SystemSettings readSystemSettings(DataModule& dm) {
    SystemSettings s;
    s.noGoalYear = dm.user().settings.noGoalYear;
    s.sendToPrinter = true;
    engine::Table& t = dm.settingsTable;
    if (!t.isOpen() || t.isEmpty() || t.recNo() < 0) return s;
    copyBool(t, "DisableLogin", s.disableLogon);
    copyBool(t, "AutoLogon", s.autoLogon);
    copyBool(t, "NoGoalYear", s.noGoalYear);
    copyBool(t, "SendToPrinter", s.sendToPrinter);
    copyBool(t, "MultipulMeasure", s.multipleMeasures);
    return s;
}

ProfileRights readProfile(DataModule& dm, int profileId) {
    ProfileRights rights;
    rights.profileId = profileId;
    rights.description = QStringLiteral("Undefined");
    engine::Query q(dm.goalDatabase);
    q.add("Select * From \"Security.db\" Where SecurityID = ", sql::Int{profileId});
    q.open();
    if (!q.isEmpty()) {
        const QString d = q.field(QStringLiteral("Description")).asString();
        if (!d.isEmpty()) rights.description = d;
        for (const SecurityRight& r : SecurityRights())
            copyBool(q, r.name, rights.*(r.member));
    }
    return rights;
}

UserRecord readUser(DataModule& dm, const QString& userId) {
    engine::Query q(dm.goalDatabase);
    q.add("Select * From \"User.db\"");
    q.open();
    if (!findUser(q, userId)) return {};
    UserRecord r = userOf(q);
    r.id = userId.toUpper();
    return r;
}

UserRecord readUser(DataModule& dm, int userNumber) {
    engine::Query q(dm.goalDatabase);
    q.add("Select * From \"User.db\" Where UserNumber = ", sql::Int{userNumber});
    q.open();
    if (q.isEmpty()) return {};
    UserRecord r = userOf(q);
    r.id = q.field(QStringLiteral("UserID")).asString();
    return r;
}

void readAccessLists(DataModule& dm, CurrentUser& user) {
    user.canSee.clear();
    user.canEdit.clear();
    engine::Query q(dm.goalDatabase);
    q.add("Select * From \"AccessList.db\" Where UserNumber = ", sql::Int{user.number});
    q.open();
    for (q.first(); !q.eof(); q.next()) {
        if (q.field(QStringLiteral("CanSeeUser")).isNull()) continue;
        const int seen = int(q.field(QStringLiteral("CanSeeUser")).asInteger());
        user.canSee.insert(seen);
        bool edit = false;
        copyBool(q, "CanEditUser", edit);
        if (edit) user.canEdit.insert(seen);
    }
}

bool logOn(DataModule& dm, const QString& userId, const QString& password, bool checkPassword) {
    engine::Query q(dm.goalDatabase);
    q.add("Select * From \"User.db\"");
    if (checkPassword) {
        // A password never set is an empty password.
        if (password.isEmpty())
            q.add("Where (UserPassword = \"\" Or UserPassword Is Null)");
        else
            q.add("Where UserPassword = ", sql::Text{password});
    }
    q.open();
    // The row that matched is the one whose data is loaded, even where another row holds the
    // same id in other letters.
    if (!findUser(q, userId)) return false;
    const UserRecord found = userOf(q);
    CurrentUser user;
    user.number = found.number;
    user.id = userId.toUpper();
    user.profileId = found.profileId;
    user.name = found.name;
    user.settings = dm.user().settings;
    q.close();
    user.rights = readProfile(dm, user.profileId);
    readAccessLists(dm, user);
    dm.setUser(std::move(user));
    return true;
}

bool serverHoldsLogons(DataModule& dm) {
    if (!dm.goalDatabase.isOpen()) return false;
    return dm.goalDatabase.backend().holdsLogons();
}

bool serverAsksLogon(const QString& failure) {
    // libpq's words for a server that wants a password it was not given, or refused the one given.
    // A workstation's own role that may not reach the database is asked the same.
    return failure.contains(QLatin1String("password"), Qt::CaseInsensitive) ||
           failure.contains(QLatin1String("authentication"), Qt::CaseInsensitive) ||
           failure.contains(QLatin1String("permission denied for database"), Qt::CaseInsensitive);
}

bool logOnToServer(DataModule& dm, const QString& userId, const QString& password) {
    if (dm.isOpen()) dm.close();
    // No id or no password never reaches the server as somebody.
    if (userId.isEmpty() || password.isEmpty()) {
        dm.session.setServerLogon({}, {});
        return false;
    }
    dm.session.setServerLogon(userId, password);
    try {
        dm.open();
    } catch (const engine::Error& e) {
        dm.session.setServerLogon({}, {});
        if (dm.isOpen()) dm.close();
        if (serverAsksLogon(e.message())) return false;
        throw;
    }
    dm.user().settings = readSystemSettings(dm);
    return logOn(dm, userId, QString(), false);
}

} // namespace data
