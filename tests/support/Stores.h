#pragma once

#include "engine/Database.h"
#include "support/PgServer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>

namespace testing_support {

// The two stores a database can live in; storage tests run on both.
enum class Store { Folder, Server };

// Names the store in a failure message instead of showing its bytes.
inline void PrintTo(Store store, std::ostream* os) {
    *os << (store == Store::Folder ? "Folder" : "Server");
}

inline std::string storeName(const ::testing::TestParamInfo<Store>& info) {
    return info.param == Store::Folder ? "Folder" : "Server";
}

// A fresh, empty database of one store for one test: a temporary folder, or a database of its
// own on the test server (dropped afterwards).
class TestStore {
public:
    // Makes the database; `location` is then what an alias or Database::open takes.
    void make(Store store) {
        store_ = store;
        if (store == Store::Server) {
            server_ = std::make_unique<PgTestDatabase>();
            location_ = server_->uri();
            ASSERT_FALSE(location_.isEmpty()) << "no test server database";
        } else {
            location_ = dir_.path();
        }
        engine::Database::create(location_);
    }
    const QString& location() const { return location_; }
    Store store() const { return store_; }
    bool onServer() const { return store_ == Store::Server; }
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
