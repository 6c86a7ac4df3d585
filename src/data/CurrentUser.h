#pragma once

#include <QString>
#include <array>

// The logged-on user.
struct TLoginData {
    int UserNumber = 0;
    QString UserId;
    int SecurityID = 0;
    QString UserName;
};

// The rights of the logged-on user's security profile, in the order of the profile record.
struct TSecurityData {
    int SecurityID = 0;
    QString Description;
    bool Supervisor = false;
    bool CanChangeSystem = false;
    bool CanAddUser = false;
    bool CanPackDatabase = false;
    bool CanViewSecurity = false;
    bool CanAddGoals = false;
    bool CanAddDepartments = false;
    bool CanPrintReports = false;
    bool CanAddStrategy = false;
    bool CanViewAllStrategys = false;
    bool CanAddGoalType = false;
    bool CanAddGlobalGoals = false;
    bool CanModifyAllGoals = false;
};

// The rights of a profile in record order, by their column names.
struct SecurityRight {
    const char* name;
    bool TSecurityData::*member;
};
const std::array<SecurityRight, 13>& SecurityRights();

struct TSystemSettings {
    bool DisableLogin = false;
    bool AutoLogon = false;
    bool NoGoalYear = false;
    bool SendToPrinter = false;
    bool MultipulMeasure = false;
};

// The process-wide records: written during start-up and logon only.
extern TLoginData LoginData;
extern TSecurityData SecurityData;
extern TSystemSettings SystemSettings;

// Zeroes the three records, as at the start of the process.
void ResetCurrentUser();

void LoadSystemSettings();
void LoadSecurityProfile(int securityId);
void LoadLoginData(const QString& userId, TLoginData& target);
bool CheckUser(const QString& userId, const QString& password, bool checkPassword);
// Whether two user ids are the same id: letter case does not count, in any alphabet.
bool SameUserId(const QString& a, const QString& b);
