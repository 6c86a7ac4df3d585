#pragma once

#include "data/CurrentUser.h"
#include "engine/DataSource.h"
#include "engine/Database.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/Table.h"

#include <QDateTime>
#include <QObject>
#include <optional>
#include <vector>

namespace data {

// The local time a change is stamped with, in whole seconds. Finding the local time makes the
// C library read the time zone again each time, which costs a batch of posts more than its
// writing: it is found once a second at most.
QDateTime stampTime();
// The same time as a date-time column stores it, for statements that stamp many rows at once.
QString stampText();

// Which goals the goal table shows.
struct GoalFilter {
    std::optional<int> year; // none: every year
    int type = -1;           // counts only with a year; -1: every type
    bool byUser = false;     // only global goals and those for `user`
    int user = 0;
    bool ownOnly = false; // only the logged-on user's own goals, unless he may modify all
};

// Which strategies the strategy table shows: those of one goal written for one user (-1: for
// nobody).
struct StrategySelection {
    int goal = 0;
    int user = 0;
};

// The data module: owns the connection and every table object with its data source, the record
// rules of the tables, what each filtered table shows, and who is logged on.
class DataModule : public QObject {
    Q_OBJECT
public:
    explicit DataModule(engine::Session& session = engine::Session::instance(), QObject* parent = nullptr);
    ~DataModule() override;

    // Opens the database and every table in the stated order. On failure no further table is
    // opened and the engine's error is thrown for the caller to report.
    void open();
    void close();
    bool isOpen() const { return open_; }

    // The table password of this installation; empty when tables are not protected.
    static QString tablePassword();

    engine::Session& session;
    engine::Database goalDatabase;

    engine::Table userSettingsTable;
    engine::Table securityTable;
    engine::Table settingsTable;
    engine::Table goalsTable;
    engine::Table strategyTable;
    engine::Table departmentTable;
    engine::Table goalTypeTable;
    engine::Table accessListTable;
    // The users the logged-on user may see (a second view of the user table).
    engine::Table visibleUsersTable;
    engine::Table measureTable;

    engine::DataSource userSettingsSource;
    engine::DataSource securitySource;
    engine::DataSource settingsSource;
    engine::DataSource goalsSource;
    engine::DataSource strategySource;
    engine::DataSource departmentSource;
    engine::DataSource goalTypeSource;
    engine::DataSource accessListSource;
    engine::DataSource visibleUsersSource;
    engine::DataSource measureSource;

    // Who is logged on; set by logon, his settings also by the settings screen.
    const CurrentUser& user() const { return user_; }
    CurrentUser& user() { return user_; }
    // Also names him as the author of the changes kept in the history from now on.
    void setUser(CurrentUser user) {
        user_ = std::move(user);
        goalDatabase.setChangeAuthor(user_.number);
    }

    // What the filtered tables show. Setting it does not refresh a table: the screen that sets
    // it does, when it is ready to.
    const GoalFilter& goalFilter() const { return goalFilter_; }
    void setGoalFilter(const GoalFilter& f) { goalFilter_ = f; }
    const StrategySelection& strategySelection() const { return strategies_; }
    void setStrategySelection(const StrategySelection& s) { strategies_ = s; }
    // The user table shows one user id (any letter case); empty: every user but the supervisor.
    const QString& userIdFilter() const { return userIdFilter_; }
    void setUserIdFilter(const QString& id) { userIdFilter_ = id; }
    // The access list table shows the rows of one user.
    int accessListOwner() const { return accessListOwner_; }
    void setAccessListOwner(int user) { accessListOwner_ = user; }
    // The measurement item table shows the items of one strategy.
    int measuredStrategy() const { return measuredStrategy_; }
    void setMeasuredStrategy(int strategy) { measuredStrategy_ = strategy; }

    // The next free numbers: 1, or one more than the highest.
    int nextStrategyNumber(const StrategySelection& where);
    int nextMeasurementNumber(int strategy);

    int userDepartmentID(int user);
    QString userDepartmentName(int user);

    // Every table object in the order they are opened.
    std::vector<engine::Table*> tablesInOpenOrder();
    // The tables that lookup boxes list: goal types, departments, users, profiles.
    std::vector<engine::Table*> lookupListTables();
    // Reads the lookup tables again when another workstation has written to them, so that their
    // lists show the rows stored now; each keeps its current row when it still exists. A table
    // with a pending change is left as it is. Run whenever a screen opens.
    void refreshLookupLists();

    // Whether the goal table's filter takes a record (without its pre-selection).
    bool acceptsGoal(const engine::Record& r) const;

    // Makes the visible users table show only the users the logged-on user may see, for a
    // screen that lists them; returns whether it switched the filter, so that the screen
    // switches it back as it closes only then. Someone who sees every user is shown all of them
    // by the table unfiltered: switching would only read them all again, twice per screen.
    bool showVisibleUsersOnly();

private:
    void installRules();
    void installFilters();
    bool tablePasswordHandler(engine::Session& s);
    void checkUserId(engine::Table& t);
    void stamp(engine::Table& t, const char* dateColumn) const;

    bool open_ = false;
    // Where the goal filter finds its columns: it is asked for every goal a filter switch reads,
    // thousands on an opening of the goals screen.
    struct GoalColumns {
        int year = -1, type = -1, user = -1, owner = -1;
    };
    GoalColumns goalColumns_;
    CurrentUser user_;
    GoalFilter goalFilter_;
    StrategySelection strategies_;
    QString userIdFilter_;
    int accessListOwner_ = 0;
    int measuredStrategy_ = 0;
};

} // namespace data
