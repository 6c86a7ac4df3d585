#include "data/CurrentUser.h"

#include <algorithm>

namespace data {

const std::array<SecurityRight, 13>& SecurityRights() {
    static const std::array<SecurityRight, 13> rights{
        {{"Supervisor", &ProfileRights::supervisor},
         {"CanChangeSystem", &ProfileRights::canChangeSystem},
         {"CanAddUser", &ProfileRights::canAddUsers},
         {"CanPackDatabase", &ProfileRights::canPackDatabase},
         {"CanViewSecurity", &ProfileRights::canViewSecurity},
         {"CanAddGoals", &ProfileRights::canAddGoals},
         {"CanAddDepartments", &ProfileRights::canAddDepartments},
         {"CanPrintReports", &ProfileRights::canPrintReports},
         {"CanAddStrategy", &ProfileRights::canAddStrategies},
         {"CanViewAllStrategys", &ProfileRights::canViewAllStrategies},
         {"CanAddGoalType", &ProfileRights::canAddGoalTypes},
         {"CanAddGlobalGoals", &ProfileRights::canAddGlobalGoals},
         {"CanModifyAllGoals", &ProfileRights::canModifyAllGoals}}};
    return rights;
}

QList<int> CurrentUser::visibleUsers() const {
    QList<int> users(canSee.begin(), canSee.end());
    if (!canSee.contains(number)) users << number;
    std::sort(users.begin(), users.end());
    return users;
}

bool sameUserId(const QString& a, const QString& b) {
    return a.toCaseFolded() == b.toCaseFolded();
}

} // namespace data
