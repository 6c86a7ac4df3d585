#pragma once

#include "engine/Database.h"
#include "engine/PgBackend.h"
#include "engine/PgRoles.h"
#include "support/PgServer.h"
#include "support/TempDir.h"

#include <QSqlDatabase>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>

namespace testing_support {

// The stores a database can live in; the engine's storage tests run on a folder and a server, the
// data and screen tests also on a server that holds the logons and the rights itself.
enum class Store { Folder, Server, SecureServer };

inline const char* storeText(Store store) {
    switch (store) {
    case Store::Folder:
        return "Folder";
    case Store::Server:
        return "Server";
    case Store::SecureServer:
        return "SecureServer";
    }
    return "?";
}

// Names the store in a failure message instead of showing its bytes.
inline void PrintTo(Store store, std::ostream* os) {
    *os << storeText(store);
}

inline std::string storeName(const ::testing::TestParamInfo<Store>& info) {
    return storeText(info.param);
}

// A fresh, empty database of one store for one test: a temporary folder, or a database of its
// own on the test server (dropped afterwards).
class TestStore {
public:
    // Makes the database; `location` is then what an alias or Database::open takes.
    void make(Store store) {
        store_ = store;
        if (store != Store::Folder) {
            server_ = std::make_unique<PgTestDatabase>();
            location_ = server_->uri();
            ASSERT_FALSE(location_.isEmpty()) << "no test server database";
        } else {
            location_ = dir_.path();
        }
        engine::Database::create(location_);
        if (store == Store::SecureServer) {
            // As vardimo-admin secure does it, the test server's own role being the owner that
            // the fixture sets the data up as.
            engine::PgBackend pg;
            pg.open(location_, QStringLiteral("test"));
            QSqlDatabase db = pg.connection();
            ASSERT_TRUE(db.transaction());
            engine::PgRoles::secure(pg);
            engine::PgRoles::setPassword(pg, QStringLiteral("Supervisor"), supervisorPassword());
            ASSERT_TRUE(db.commit());
        }
    }
    // The password of the built-in Supervisor where the server holds the logons.
    static QString supervisorPassword() { return QStringLiteral("keeper"); }
    const QString& location() const { return location_; }
    Store store() const { return store_; }
    bool onServer() const { return store_ != Store::Folder; }
    bool secure() const { return store_ == Store::SecureServer; }
    // The folder of a folder store (its files, for tests that look at them).
    const TempDir& dir() const { return dir_; }
    PgTestDatabase* server() const { return server_.get(); }

private:
    Store store_ = Store::Folder;
    TempDir dir_;
    std::unique_ptr<PgTestDatabase> server_;
    QString location_;
};

// A fixture parameterised by store whose storeUnderTest() gives the store to use, made
// folder-only for the tests that are about the files of a folder database (sizes on disk, the
// lock a writer holds on a table file, a commit over several files killed part-way); used with
// TEST_F.
template <class Fixture> class OnFolder : public Fixture {
protected:
    Store storeUnderTest() const override { return Store::Folder; }
};

} // namespace testing_support

// Runs a parameterised fixture's tests once on each store.
#define VARDIMO_ON_BOTH_STORES(Fixture)                                                                      \
    INSTANTIATE_TEST_SUITE_P(                                                                                \
        Stores, Fixture, ::testing::Values(testing_support::Store::Folder, testing_support::Store::Server),  \
        testing_support::storeName)

// Runs a parameterised fixture's tests on each store and on a server that holds the logons and the
// rights, where the fixture's logOnAs connects as the user's own role.
#define VARDIMO_ON_ALL_STORES(Fixture)                                                                       \
    INSTANTIATE_TEST_SUITE_P(Stores, Fixture,                                                                \
                             ::testing::Values(testing_support::Store::Folder,                               \
                                               testing_support::Store::Server,                               \
                                               testing_support::Store::SecureServer),                        \
                             testing_support::storeName)
