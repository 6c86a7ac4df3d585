#pragma once

#include "engine/DataSource.h"
#include "engine/Database.h"
#include "engine/Query.h"
#include "engine/Session.h"
#include "engine/Table.h"

#include <QObject>
#include <QStringList>
#include <memory>
#include <vector>

struct TLoginData;

// A list of decimal texts, sorted and without duplicates when asked, as the access lists need.
class StringList {
public:
    void clear() { items_.clear(); }
    void setSorted(bool on) { sorted_ = on; }
    void add(const QString& s);
    int count() const { return int(items_.size()); }
    const QString& operator[](int i) const { return items_[i]; }
    const QStringList& items() const { return items_; }

private:
    QStringList items_;
    bool sorted_ = false;
};

// The data module: owns the connection, every table object, data source and scratch query, the
// selection state that the filters read, and the logged-on user's access lists.
class DataModule : public QObject {
    Q_OBJECT
public:
    explicit DataModule(engine::Session& session = engine::Session::instance(), QObject* parent = nullptr);
    ~DataModule() override;

    // Opens the database and every table in the stated order. On failure no further table is
    // opened, the error box is shown, the application is asked to end, and false is returned.
    bool DataModuleCreate();
    void DataModuleDestroy();
    bool created() const { return created_; }

    // The table password of this installation; empty when tables are not protected.
    static QString TablePassword();

    engine::Session& session;
    engine::Database GoalDatabase;

    engine::Table UserSettingsTable;
    engine::Table SecurityTable;
    engine::Table SettingsTable;
    engine::Table GoalsTable;
    engine::Table StrategyTable;
    engine::Table DepartmentTable;
    engine::Table GoalTypeTable;
    engine::Table AccessListTable;
    engine::Table UserTable2;
    engine::Table MeasureTable;

    engine::DataSource UserSettingsSource;
    engine::DataSource SecuritySource;
    engine::DataSource SettingsSource;
    engine::DataSource GoalsSource;
    engine::DataSource StrategySource;
    engine::DataSource DepartmentSource;
    engine::DataSource GoalTypeSource;
    engine::DataSource AccessListSource;
    engine::DataSource UserSource2;
    engine::DataSource MeasureSource;

    engine::Query UserSettingsQuery;
    engine::Query SecurityQuery;
    engine::Query SettingsQuery;
    engine::Query GoalsQuery;
    engine::Query Strategyquery;
    engine::Query DepartmentQuery;
    engine::Query GoalTypeQuery;
    engine::Query AccessListQuery;
    engine::Query MeasureQuery;

    // Selection state read by the filters and the numbering queries.
    QString UserIdFilter;
    QString GoalYearFilter;
    int CurrentGoalID = 0;
    bool FilterGoalsByUser = false;
    int SelectedUserNumber = 0;
    int GoalTypeFilter = 0;
    int AccessListOwner = 0;
    bool GoalOwnerFilter = false;
    int CurrentStrategyID = 0;

    // Access lists of the logged-on user.
    std::unique_ptr<StringList> CanSeeList;
    std::unique_ptr<StringList> CanEditList;
    QString VisibleUserSet;

    // Record rules.
    bool UserSettingsTableFilterRecord(const engine::Record& r) const;
    bool SecurityTableFilterRecord(const engine::Record& r) const;
    bool GoalsTableFilterRecord(const engine::Record& r) const;
    bool AcceptFilterGoalOwner(const engine::Record& r) const;
    bool StrategyTableFilterRecord(const engine::Record& r) const;
    bool AccessListTableFilterRecord(const engine::Record& r) const;
    bool UserTable2FilterRecord(const engine::Record& r) const;
    bool MeasureTableFilterRecord(const engine::Record& r) const;

    // A user id is one person's in every letter case: a second row may not take it.
    void UserTableBeforePost(engine::Table& t);
    void GoalsTableBeforePost(engine::Table& t);
    void StrategyTableBeforePost(engine::Table& t);
    void DepartmentTableBeforePost(engine::Table& t);
    void GoalTypeTableBeforePost(engine::Table& t);
    void MeasureTableBeforePost(engine::Table& t);

    void StrategyTableCalcFields(const engine::Record& r, QHash<QString, QVariant>& out) const;
    void MeasureTableCalcFields(const engine::Record& r, QHash<QString, QVariant>& out) const;

    int NextStrategyNumber(int user);
    int NextMeasurementNumber();

    // Access lists and lookups.
    void LoadAccessLists(int user);
    bool MaySeeUser(int n) const;
    bool MayEditUser(int n) const;
    void LookupUser(int n, TLoginData& r);
    int UserDepartmentID(int n);
    QString UserDepartmentName(int n);

    // Every table object in the order they are opened.
    std::vector<engine::Table*> tablesInOpenOrder();
    // The tables that lookup boxes list: goal types, departments, users, profiles.
    std::vector<engine::Table*> lookupListTables();
    // Reads the lookup tables again when another workstation has written to them, so that their
    // lists show the rows stored now; each keeps its current row when it still exists. A table
    // with a pending change is left as it is. Run whenever a screen opens.
    void RefreshLookupLists();

private:
    void installRules();
    bool TablePasswordHandler(engine::Session& s);
    bool created_ = false;
};

// The one instance, set while it exists.
extern DataModule* ProgramDataForm;
