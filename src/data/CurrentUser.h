#pragma once

#include <QSet>
#include <QString>
#include <array>

namespace data {

// The rights of one security profile. The stored columns keep their own spelling; the table of
// rights below maps them once.
struct ProfileRights {
    int profileId = 0;
    QString description;
    bool supervisor = false;
    bool canChangeSystem = false;
    bool canAddUsers = false;
    bool canPackDatabase = false;
    bool canViewSecurity = false;
    bool canAddGoals = false;
    bool canAddDepartments = false;
    bool canPrintReports = false;
    bool canAddStrategies = false;
    bool canViewAllStrategies = false;
    bool canAddGoalTypes = false;
    bool canAddGlobalGoals = false;
    bool canModifyAllGoals = false;
};

// A right of a profile: its column in the security table and its member.
struct SecurityRight {
    const char* name;
    bool ProfileRights::*member;
};
// The rights in the order of the profile record.
const std::array<SecurityRight, 13>& SecurityRights();

// The settings of the whole database, as the settings table holds them.
struct SystemSettings {
    bool disableLogon = false;
    bool autoLogon = false;
    bool noGoalYear = false;
    bool sendToPrinter = false;
    bool multipleMeasures = false;
};

// A row of the user table, as logon and the lookups read it; -1 and empty where it says nothing.
struct UserRecord {
    int number = -1;
    QString id;
    int profileId = -1;
    QString name;
};

// Who is logged on, what he may do, and the settings he works under.
struct CurrentUser {
    int number = 0;
    QString id;
    int profileId = 0;
    QString name;
    ProfileRights rights;
    SystemSettings settings;
    // The users whose strategies he may see, and those he may also change (from his access list).
    QSet<int> canSee;
    QSet<int> canEdit;

    // Whether he sees all strategies: his own right, or the supervisor's.
    bool seesEveryone() const { return rights.supervisor || rights.canViewAllStrategies; }
    bool maySee(int user) const { return user == number || seesEveryone() || canSee.contains(user); }
    bool mayEdit(int user) const { return user == number || seesEveryone() || canEdit.contains(user); }
    // Himself and the users of his access list, in ascending order.
    QList<int> visibleUsers() const;
};

// Whether two user ids are the same id: letter case does not count, in any alphabet.
bool sameUserId(const QString& a, const QString& b);

} // namespace data
