#pragma once

#include "engine/LargeResult.h"
#include "engine/Sql.h"

namespace engine {

// A large result of the folder store: copied once into a temporary table of the connection (a
// file in the workstation's temporary folder), so that the table files are locked only while
// the copy is made and another workstation can post while a long report is printed.
class FolderSnapshot : public LargeResult {
public:
    FolderSnapshot(const Statement& st, const QString& files, Exec exec);

    int count() const override { return count_; }
    QSqlRecord record() const override { return record_; }
    QStringList names() const override { return names_; }
    QSqlQuery readFrom(int row) override;
    void release() override;

private:
    Exec exec_;
    QString table_;
    int count_ = 0;
    QSqlRecord record_;
    QStringList names_;
};

} // namespace engine
