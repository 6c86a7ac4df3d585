#include "data/UserRules.h"

#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "engine/Error.h"

namespace data {

namespace sql = engine::sql;

void requireUserProfile(engine::Table& users) {
    if (users.field(QStringLiteral("SecurityID")).isNull())
        throw engine::Error(QStringLiteral("Please enter a Security profile."));
}

void checkAccessRow(DataModule& dm, engine::Table& access) {
    const engine::Field seen = access.field(QStringLiteral("CanSeeUser"));
    if (seen.isNull()) throw engine::Error(QStringLiteral("Please enter a User to view."));
    const engine::Field owner = access.field(QStringLiteral("UserNumber"));
    const engine::Field key = access.field(QStringLiteral("AccessIDNumber"));
    engine::Query q(dm.goalDatabase);
    q.add("Select Count(*) As N From \"AccessList.db\"");
    q.add("Where CanSeeUser = ", sql::Int{seen.asInteger()});
    if (owner.isNull())
        q.add("And UserNumber Is Null");
    else
        q.add("And UserNumber = ", sql::Int{owner.asInteger()});
    // The row itself, when stored before, is no other row.
    if (!key.isNull()) q.add("And AccessIDNumber <> ", sql::Int{key.asInteger()});
    q.open();
    const bool twice = q.field(QStringLiteral("N")).asInteger() > 0;
    q.close();
    if (!twice) return;
    engine::Query name(dm.goalDatabase);
    name.add("Select UserName From \"User.db\" Where UserNumber = ", sql::Int{seen.asInteger()});
    name.open();
    const QString named = name.isEmpty() ? QString() : name.field(QStringLiteral("UserName")).asString();
    const QString who = named.isEmpty() ? QStringLiteral("User %1").arg(seen.asInteger()) : named;
    throw engine::Error(
        QStringLiteral("%1 is already in this user's list: change the row there instead.").arg(who));
}

} // namespace data
