#include "data/CurrentUser.h"

#include "data/ProgramDataFrm.h"

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

void selectUser(engine::Query& q, const QString& upperId) {
    q.add("Select * From \"User.db\" Where Upper(userid) = Upper(", sql::Text{upperId}, ")");
}
} // namespace

void LoadLoginData(const QString& userId, TLoginData& target) {
    const QString id = userId.toUpper();
    resetLogin(target);
    engine::Query& q = ProgramDataForm->UserSettingsQuery;
    q.close();
    q.clear();
    selectUser(q, id);
    q.prepare();
    q.open();
    if (!q.isEmpty()) {
        target.UserId = id;
        if (!q.field(QStringLiteral("SecurityID")).isNull())
            target.SecurityID = int(q.field(QStringLiteral("SecurityID")).asInteger());
        target.UserName = q.field(QStringLiteral("UserName")).asString();
        if (!q.field(QStringLiteral("UserNumber")).isNull())
            target.UserNumber = int(q.field(QStringLiteral("UserNumber")).asInteger());
    }
    q.close();
    q.unprepare();
}

bool CheckUser(const QString& userId, const QString& password, bool checkPassword) {
    const QString id = userId.toUpper();
    resetLogin(LoginData);
    engine::Query& q = ProgramDataForm->UserSettingsQuery;
    q.close();
    q.clear();
    if (checkPassword)
        q.add("Select * From \"User.db\" Where Upper(userid) = Upper(", sql::Text{id},
              ") and UserPassword = ", sql::Text{password});
    else
        selectUser(q, id);
    q.prepare();
    q.open();
    if (!q.isEmpty()) {
        q.close();
        q.unprepare();
        LoadLoginData(id, LoginData);
        LoadSecurityProfile(LoginData.SecurityID);
        ProgramDataForm->LoadAccessLists(LoginData.UserNumber);
        return true;
    }
    q.close();
    q.unprepare();
    return false;
}
