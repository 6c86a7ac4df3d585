#include "data/CurrentUser.h"

#include "data/DataModule.h"

namespace sql = engine::sql;

TLoginData LoginData;
TSecurityData SecurityData;
TSystemSettings SystemSettings;

const std::array<SecurityRight, 13>& SecurityRights() {
    static const std::array<SecurityRight, 13> rights{
        {{"Supervisor", &TSecurityData::Supervisor},
         {"CanChangeSystem", &TSecurityData::CanChangeSystem},
         {"CanAddUser", &TSecurityData::CanAddUser},
         {"CanPackDatabase", &TSecurityData::CanPackDatabase},
         {"CanViewSecurity", &TSecurityData::CanViewSecurity},
         {"CanAddGoals", &TSecurityData::CanAddGoals},
         {"CanAddDepartments", &TSecurityData::CanAddDepartments},
         {"CanPrintReports", &TSecurityData::CanPrintReports},
         {"CanAddStrategy", &TSecurityData::CanAddStrategy},
         {"CanViewAllStrategys", &TSecurityData::CanViewAllStrategys},
         {"CanAddGoalType", &TSecurityData::CanAddGoalType},
         {"CanAddGlobalGoals", &TSecurityData::CanAddGlobalGoals},
         {"CanModifyAllGoals", &TSecurityData::CanModifyAllGoals}}};
    return rights;
}

void ResetCurrentUser() {
    LoginData = TLoginData();
    SecurityData = TSecurityData();
    SystemSettings = TSystemSettings();
}

namespace {
// Copies a logical field only when it holds a value: a null keeps the reset value.
void copyBool(engine::DataSet& ds, const char* name, bool& target) {
    engine::Field f = ds.field(QString::fromLatin1(name));
    if (!f.isNull()) target = f.asBoolean();
}
} // namespace

void LoadSystemSettings() {
    SystemSettings.DisableLogin = false;
    SystemSettings.AutoLogon = false;
    SystemSettings.SendToPrinter = true;
    SystemSettings.MultipulMeasure = false;
    engine::Table& t = ProgramDataForm->SettingsTable;
    if (!t.isOpen() || t.isEmpty() || t.recNo() < 0) return;
    copyBool(t, "DisableLogin", SystemSettings.DisableLogin);
    copyBool(t, "AutoLogon", SystemSettings.AutoLogon);
    copyBool(t, "NoGoalYear", SystemSettings.NoGoalYear);
    copyBool(t, "SendToPrinter", SystemSettings.SendToPrinter);
    copyBool(t, "MultipulMeasure", SystemSettings.MultipulMeasure);
}

void LoadSecurityProfile(int securityId) {
    SecurityData = TSecurityData();
    SecurityData.SecurityID = securityId;
    SecurityData.Description = QStringLiteral("Undefined");
    engine::Query& q = ProgramDataForm->SecurityQuery;
    q.close();
    q.clear();
    q.add("Select * From \"Security.db\" Where SecurityID = ", sql::Text{QString::number(securityId)});
    q.prepare();
    q.open();
    if (!q.isEmpty()) {
        engine::Field d = q.field(QStringLiteral("Description"));
        if (!d.isNull() && !d.asString().isEmpty()) SecurityData.Description = d.asString();
        for (const SecurityRight& r : SecurityRights())
            copyBool(q, r.name, SecurityData.*(r.member));
    }
    q.close();
    q.unprepare();
}

namespace {
void resetLogin(TLoginData& t) {
    t.SecurityID = -1;
    t.UserName.clear();
    t.UserNumber = -1;
}

// Moves the query to the first row whose user id is the given one in any letter case; false
// when there is none. SQLite's Upper knows only ASCII letters, so the ids are compared here,
// folded the one Unicode way on both sides.
bool findUser(engine::Query& q, const QString& userId) {
    for (q.first(); !q.eof(); q.next())
        if (SameUserId(q.field(QStringLiteral("UserID")).asString(), userId)) return true;
    return false;
}

// Fills the target from the query's current row: the row that matched is the one whose data
// is loaded, even where another row holds the same id in other letters.
void copyLogin(engine::Query& q, const QString& upperId, TLoginData& target) {
    target.UserId = upperId;
    if (!q.field(QStringLiteral("SecurityID")).isNull())
        target.SecurityID = int(q.field(QStringLiteral("SecurityID")).asInteger());
    target.UserName = q.field(QStringLiteral("UserName")).asString();
    if (!q.field(QStringLiteral("UserNumber")).isNull())
        target.UserNumber = int(q.field(QStringLiteral("UserNumber")).asInteger());
}
} // namespace

bool SameUserId(const QString& a, const QString& b) {
    return a.toCaseFolded() == b.toCaseFolded();
}

void LoadLoginData(const QString& userId, TLoginData& target) {
    const QString id = userId.toUpper();
    resetLogin(target);
    engine::Query& q = ProgramDataForm->UserSettingsQuery;
    q.close();
    q.clear();
    q.add("Select * From \"User.db\"");
    q.prepare();
    q.open();
    if (findUser(q, id)) copyLogin(q, id, target);
    q.close();
    q.unprepare();
}

bool CheckUser(const QString& userId, const QString& password, bool checkPassword) {
    const QString id = userId.toUpper();
    resetLogin(LoginData);
    engine::Query& q = ProgramDataForm->UserSettingsQuery;
    q.close();
    q.clear();
    q.add("Select * From \"User.db\"");
    if (checkPassword) {
        // A password never set is an empty password.
        if (password.isEmpty())
            q.add("Where (UserPassword = \"\" Or UserPassword Is Null)");
        else
            q.add("Where UserPassword = ", sql::Text{password});
    }
    q.prepare();
    q.open();
    const bool found = findUser(q, id);
    if (found) copyLogin(q, id, LoginData);
    q.close();
    q.unprepare();
    if (!found) return false;
    LoadSecurityProfile(LoginData.SecurityID);
    ProgramDataForm->LoadAccessLists(LoginData.UserNumber);
    return true;
}
