#pragma once

#include "data/CurrentUser.h"

#include <QString>

namespace data {
class DataModule;
}

namespace data {

// Reading who someone is and what he may do, and logging him on. Each reads with a query of its
// own, so that none disturbs a screen's tables.

// The settings table's values. An empty field means the default, except "no goal year", which
// keeps the value the data module holds now.
SystemSettings readSystemSettings(DataModule& dm);
// A profile's rights; a profile that does not exist is "Undefined" with no right.
ProfileRights readProfile(DataModule& dm, int profileId);
// The user row with this id in any letter case, the id given upper-cased; number -1 when none.
UserRecord readUser(DataModule& dm, const QString& userId);
// The user row with this number; number -1 when none.
UserRecord readUser(DataModule& dm, int userNumber);
// The access list of a user: whom he may see, and of those whom he may also change.
void readAccessLists(DataModule& dm, CurrentUser& user);

// Logs a user on when the id (in any letter case) and, when asked, the password (exactly) match
// a user row: the data module then works for him, with his rights, access lists and the
// settings it holds. Returns false and leaves the current user as he was when nothing matches.
bool logOn(DataModule& dm, const QString& userId, const QString& password, bool checkPassword);

// Whether the data module's database is on a server that holds the logons and the rights itself.
bool serverHoldsLogons(DataModule& dm);
// Whether a failure to open the database is the server asking who is there.
bool serverAsksLogon(const QString& failure);
// Logs a user on to a server that holds the logons: the server checks the id and the password,
// and the data module is opened again as his role. False when the server refuses them; the data
// module is then closed. Other failures (no server) are thrown.
bool logOnToServer(DataModule& dm, const QString& userId, const QString& password);

} // namespace data
