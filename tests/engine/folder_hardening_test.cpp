// What a shared database folder must withstand from the people who share it: planted journals,
// links in its control folder, readers who may write nothing, creators with a private umask.

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Table.h"
#include "support/Peer.h"
#include "support/Stores.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSysInfo>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace engine;
using testing_support::Peer;
using testing_support::PeerOptions;
using testing_support::TempDir;

namespace {

constexpr int kOtherAccount = 65534;

QByteArray be32(quint32 v) {
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

// A rollback journal as SQLite writes it: a header sector, and where `super` is given the record
// at the end that names the super-journal of a commit over several files.
QByteArray journal(quint32 pageSize, quint32 originalPages, const QByteArray& super = {}) {
    const QByteArray magic("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8);
    QByteArray j = magic + be32(0) + be32(0x5eed) + be32(originalPages) + be32(512) + be32(pageSize);
    j.append(512 - j.size(), '\0');
    if (!super.isEmpty()) {
        quint32 sum = 0;
        for (const char c : super)
            sum += quint32(c);
        j += be32(0x40000000 / pageSize + 1) + super + be32(quint32(super.size())) + be32(sum) + magic;
    }
    return j;
}

int pageSizeOf(const QString& table) {
    QFile f(table);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray h = f.read(100);
    return h.size() < 18 ? 0 : (uchar(h[16]) << 8) | uchar(h[17]);
}

void write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

QString contentsOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QStringLiteral("<gone>");
}

mode_t modeOf(const QString& path) {
    struct stat st;
    return ::lstat(path.toLocal8Bit().constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

class FolderHardening : public ::testing::Test {
protected:
    void SetUp() override {
        store.make(testing_support::Store::Folder);
        session.setUserName("here");
        session.setNetDir(QCoreApplication::applicationDirPath());
    }
    QString file(const QString& name) const { return store.dir().file(name); }
    testing_support::TestStore store;
    Session session;
};

// A shared folder every account may use, with a database in it made by this (root) account.
struct SharedDatabase {
    SharedDatabase() {
        QFile::setPermissions(top.path(), QFileDevice::Permissions(0x7777));
        QDir().mkdir(folder);
        ::chmod(folder.toLocal8Bit().constData(), 0777);
        Database::create(folder);
        for (const QString& f : QDir(folder).entryList(QDir::Files))
            ::chmod(QDir(folder).filePath(f).toLocal8Bit().constData(), 0666);
    }
    TempDir top;
    QString folder = top.file("db");
};

} // namespace

TEST_F(FolderHardening, APlantedJournalNamingAFileElsewhereIsRefusedAndNothingIsDeleted) {
    TempDir elsewhere;
    const QString victim = elsewhere.file("precious.txt");
    write(victim, "keep me");
    const QString goals = file("goals.db");
    const qint64 size = QFileInfo(goals).size();
    const int pageSize = pageSizeOf(goals);
    ASSERT_GT(pageSize, 0);
    write(goals + "-journal", journal(quint32(pageSize), 0, victim.toLocal8Bit()));

    Database db(session);
    db.open(store.location());
    Table t(db, "goals.db");
    try {
        t.open();
        FAIL() << "the planted journal was played back";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith("Table is damaged: goals.db")) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains(victim)) << e.message().toStdString();
    }
    EXPECT_EQ(contentsOf(victim), "keep me");
    EXPECT_EQ(QFileInfo(goals).size(), size) << "the table was not cut";
    EXPECT_TRUE(QFileInfo::exists(goals + "-journal")) << "the evidence stays";

    // The other tables are not touched by it.
    Table types(db, "GoalType.db");
    EXPECT_NO_THROW(types.open());
}

TEST_F(FolderHardening, AJournalPlantedWhileTheTableIsOpenIsRefusedToo) {
    TempDir elsewhere;
    const QString victim = elsewhere.file("precious.txt");
    write(victim, "keep me");
    Database db(session);
    db.open(store.location());
    Table t(db, "goals.db");
    t.open();
    t.insert();
    t.field("GoalDescription").setValue("mine");
    t.post();
    const QString goals = file("goals.db");
    const qint64 size = QFileInfo(goals).size();
    write(goals + "-journal", journal(quint32(pageSizeOf(goals)), 1, victim.toLocal8Bit()));
    try {
        t.refresh();
        FAIL() << "the planted journal was played back";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith("Table is damaged: goals.db")) << e.message().toStdString();
    }
    EXPECT_EQ(contentsOf(victim), "keep me");
    EXPECT_EQ(QFileInfo(goals).size(), size);
    // Once the administrator has moved it away, the table is as it was.
    QFile::remove(goals + "-journal");
    t.refresh();
    EXPECT_TRUE(t.locate("GoalDescription", "mine"));
}

TEST_F(FolderHardening, SQLiteDeletesOnlyJournalsAndSuperJournalsOfControlFolders) {
    Database db(session);
    db.open(store.location());
    Table t(db, "goals.db");
    t.open();
    sqlite3_vfs* files = sqlite3_vfs_find(nullptr);
    ASSERT_NE(files, nullptr);
    TempDir elsewhere;
    const QString control = Database::controlFolder(store.location());
    const QString victim = elsewhere.file("conn-x-1-0123abcd.db-mj0123459AB");
    const QString super = QDir(control).filePath("conn-x-1-0123abcd.db-mj0123459AB");
    const QString journalOfOpenTable = file("goals.db-journal");
    const QString notAJournal = file("notes.txt");
    for (const QString& f : {victim, super, journalOfOpenTable, notAJournal})
        write(f, "x");
    auto remove = [&](const QString& f) { return files->xDelete(files, f.toLocal8Bit().constData(), 0); };
    EXPECT_NE(remove(victim), SQLITE_OK);
    EXPECT_NE(remove(notAJournal), SQLITE_OK);
    EXPECT_EQ(remove(super), SQLITE_OK);
    EXPECT_EQ(remove(journalOfOpenTable), SQLITE_OK);
    EXPECT_TRUE(QFileInfo::exists(victim) && QFileInfo::exists(notAJournal));
    EXPECT_FALSE(QFileInfo::exists(super) || QFileInfo::exists(journalOfOpenTable));
}

TEST_F(FolderHardening, AJournalThatDoesNotFitItsTableIsRefused) {
    const QString goals = file("goals.db");
    const qint64 size = QFileInfo(goals).size();
    const int pageSize = pageSizeOf(goals);
    Database db(session);
    db.open(store.location());
    // Pages of another size; a table emptied; no journal at all.
    for (const QByteArray& planted : {journal(quint32(pageSize == 1024 ? 2048 : 1024), 1),
                                      journal(quint32(pageSize), 0), QByteArray(600, 'x')}) {
        write(goals + "-journal", planted);
        Table t(db, "goals.db");
        EXPECT_THROW(t.open(), Error);
        EXPECT_EQ(QFileInfo(goals).size(), size);
    }
}

TEST_F(FolderHardening, APlantedJournalCannotMakeAnotherAccountDeleteItsFiles) {
    QString why;
    if (!Peer::canSwitchUser(&why)) GTEST_SKIP() << why.toStdString();
    SharedDatabase shared;
    // The other account's own folder, closed to everyone else.
    const QString privateFolder = shared.top.file("home");
    QDir().mkdir(privateFolder);
    const QString victim = QDir(privateFolder).filePath("precious.txt");
    write(victim, "keep me");
    for (const QString& p : {privateFolder, victim})
        ASSERT_EQ(::chown(p.toLocal8Bit().constData(), kOtherAccount, kOtherAccount), 0);
    ::chmod(privateFolder.toLocal8Bit().constData(), 0700);
    const QString goals = QDir(shared.folder).filePath("goals.db");
    const qint64 size = QFileInfo(goals).size();
    write(goals + "-journal", journal(quint32(pageSizeOf(goals)), 0, victim.toLocal8Bit()));
    ::chmod((goals + "-journal").toLocal8Bit().constData(), 0666);

    PeerOptions o;
    o.uid = kOtherAccount;
    o.userName = "victim";
    Peer peer(shared.folder, o);
    const QString answer = peer.send("open goals.db");
    EXPECT_TRUE(answer.startsWith("error Table is damaged: goals.db")) << answer.toStdString();
    EXPECT_TRUE(QFileInfo::exists(victim));
    EXPECT_EQ(QFileInfo(goals).size(), size);
    EXPECT_EQ(peer.send("open Department.db"), "ok");
}

TEST_F(FolderHardening, AControlFolderThatIsALinkIsRefused) {
    TempDir elsewhere;
    const QString control = Database::controlFolder(store.location());
    for (const QString& link : {control, QDir(control).filePath("vardimo-users")}) {
        QDir(control).removeRecursively();
        if (link != control) QDir().mkdir(control);
        ASSERT_TRUE(QFile::link(elsewhere.path(), link));
        Database db(session);
        try {
            db.open(store.location());
            FAIL() << "opened through " << link.toStdString();
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains("symbolic link") && e.message().contains(link))
                << e.message().toStdString();
        }
        EXPECT_TRUE(QDir(elsewhere.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            << "nothing was made where the link points";
        QFile::remove(link);
    }
}

TEST_F(FolderHardening, AFolderThatIsNoDatabaseIsLeftAsItWas) {
    TempDir plain;
    write(plain.file("notes.txt"), "mine");
    Database db(session);
    try {
        db.open(plain.path());
        Table t(db, "goals.db");
        EXPECT_THROW(t.open(), Error);
        db.close();
    } catch (const Error&) {
    }
    EXPECT_EQ(QDir(plain.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"notes.txt"});
}

TEST_F(FolderHardening, AReaderWhoMayWriteNothingStartsReadsAndIsToldTablesAreReadOnly) {
    QString why;
    if (!Peer::canSwitchUser(&why)) GTEST_SKIP() << why.toStdString();
    // A database in a folder only its owner may write, as an installed program's folder is;
    // the tables readable by all. No control folder yet: the reader cannot make one.
    TempDir top;
    QFile::setPermissions(top.path(), QFileDevice::Permissions(0x7755));
    const QString folder = top.file("db");
    QDir().mkdir(folder);
    Database::create(folder);
    {
        Database db(session);
        db.open(folder);
        Table t(db, "goals.db");
        t.open();
        t.insert();
        t.field("GoalDescription").setValue("readable");
        t.post();
    }
    QDir(Database::controlFolder(folder)).removeRecursively();
    ::chmod(folder.toLocal8Bit().constData(), 0755);
    const QString program = top.file("program");
    QDir().mkdir(program);
    ::chmod(program.toLocal8Bit().constData(), 0555);

    PeerOptions o;
    o.uid = kOtherAccount;
    o.userName = "reader";
    o.netDir = program;
    Peer peer(folder, o); // started: its ping was answered
    EXPECT_EQ(peer.send("values goals.db GoalDescription"), "ok readable");
    EXPECT_EQ(peer.send("insert goals.db GoalDescription mine"), "error Table is read only: goals.db");
    EXPECT_EQ(peer.send("values goals.db GoalDescription"), "ok readable");
    EXPECT_TRUE(QDir(program).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

TEST_F(FolderHardening, FilesOfTheControlFolderTakeItsAccessWhateverTheUmask) {
    // A group-writable database folder, opened by someone whose umask keeps everything private.
    ::chmod(store.location().toLocal8Bit().constData(), 0770);
    const QString control = Database::controlFolder(store.location());
    ::chmod(control.toLocal8Bit().constData(), 0770);
    ::chmod(QDir(control).filePath("vardimo-users").toLocal8Bit().constData(), 0770);
    const mode_t before = ::umask(077);
    Database db(session);
    db.open(store.location());
    ::umask(before);
    const QDir c(control);
    const QStringList made = c.entryList({"conn-*"}, QDir::Files | QDir::Hidden) +
                             QDir(c.filePath("vardimo-users")).entryList({"*.usr"}, QDir::Files);
    ASSERT_GE(made.size(), 3) << made.join(' ').toStdString();
    for (const QString& f : c.entryList({"conn-*"}, QDir::Files | QDir::Hidden))
        EXPECT_EQ(modeOf(c.filePath(f)), 0660u) << f.toStdString();
    for (const QString& f : QDir(c.filePath("vardimo-users")).entryList({"*.usr"}, QDir::Files))
        EXPECT_EQ(modeOf(c.filePath("vardimo-users/" + f)), 0660u) << f.toStdString();
}

TEST_F(FolderHardening, AWorkstationWithAPrivateUmaskCrashesAndAnotherAccountCarriesOn) {
    QString why;
    if (!Peer::canSwitchUser(&why)) GTEST_SKIP() << why.toStdString();
    SharedDatabase shared;
    {
        Database db(session);
        db.open(shared.folder);
        Table s(db, "Strategys.db"), m(db, "Measure.db");
        s.open();
        m.open();
        s.insert();
        s.field("StrategyDescription").setValue("old");
        s.post();
        m.insert();
        m.field("Measurement").setValue("old");
        m.post();
    }
    const QString control = Database::controlFolder(shared.folder);
    // Killed half-way through a commit over two files, with umask 077.
    {
        PeerOptions writer;
        writer.environment = {"VARDIMO_PEER_CRASH_AFTER=1"};
        const mode_t before = ::umask(077);
        Peer peer(shared.folder, writer);
        ::umask(before);
        EXPECT_EQ(peer.send("update2 Strategys.db StrategyDescription Measure.db Measurement new"),
                  "error no answer");
        peer.kill();
    }
    const QStringList supers = QDir(control).entryList({"*-mj*"}, QDir::Files | QDir::Hidden);
    ASSERT_FALSE(supers.isEmpty());
    for (const QString& f : supers)
        EXPECT_EQ(modeOf(QDir(control).filePath(f)), 0666u) << f.toStdString();
    // What an older workstation with that umask left: files only it could read, of a process gone.
    QProcess gone;
    gone.start("true", {});
    ASSERT_TRUE(gone.waitForStarted());
    const qint64 deadPid = gone.processId();
    gone.waitForFinished();
    const QString stale =
        QString("conn-%1-%2-0123abcd").arg(QSysInfo::machineHostName().left(32)).arg(deadPid);
    for (const char* suffix : {".lck", ".db"}) {
        write(QDir(control).filePath(stale + suffix), "");
        ::chmod(QDir(control).filePath(stale + suffix).toLocal8Bit().constData(), 0600);
    }

    PeerOptions o;
    o.uid = kOtherAccount;
    o.userName = "second";
    Peer peer(shared.folder, o);
    EXPECT_EQ(peer.send("values Strategys.db StrategyDescription"), "ok old");
    EXPECT_EQ(peer.send("values Measure.db Measurement"), "ok old");
    EXPECT_EQ(peer.send("insert Strategys.db StrategyDescription theirs"), "ok 2");
    const QStringList left = QDir(control).entryList({"conn-*", "*-mj*"}, QDir::Files | QDir::Hidden);
    for (const QString& f : left)
        EXPECT_FALSE(f.startsWith(stale)) << "stale file kept: " << f.toStdString();
    EXPECT_TRUE(QDir(control).entryList({"*-mj*"}, QDir::Files | QDir::Hidden).isEmpty())
        << left.join(' ').toStdString();
}

namespace {
// Statements run by SQLite itself on a table file, as an earlier program would write it; the
// first column of the rows they give, one per line.
QString rawSql(const QString& file, const char* sql) {
    sqlite3* raw = nullptr;
    QString out;
    if (sqlite3_open(file.toLocal8Bit().constData(), &raw) == SQLITE_OK)
        sqlite3_exec(
            raw, sql,
            [](void* text, int, char** values, char**) {
                auto* o = static_cast<QString*>(text);
                *o += QString::fromUtf8(values[0] ? values[0] : "NULL") + QLatin1Char('\n');
                return 0;
            },
            &out, nullptr);
    sqlite3_close(raw);
    return out.trimmed();
}
} // namespace

TEST_F(FolderHardening, GoalsMadeBeforeTheirUserIndexGainItWhereItCanBeMadeAndNobodyWaitsForIt) {
    QString why;
    if (!Peer::canSwitchUser(&why)) GTEST_SKIP() << why.toStdString();
    SharedDatabase shared;
    const QString goals = QDir(shared.folder).filePath("goals.db");
    // The goals file as the earlier version made it, with its goals.
    rawSql(goals, "DROP INDEX GoalYearUserKey; DROP INDEX GoalYearUserRow;"
                  "CREATE INDEX GoalYearKey ON goals (GoalYear, GoalTypeID);"
                  "INSERT INTO goals (GoalDescription, GoalYear, GoalTypeID, UserNumber) VALUES "
                  "('mine', 2002, 3, 7), ('global', 2002, 3, NULL), ('other', 2002, 3, 8)");
    const char* indexes =
        "SELECT name FROM sqlite_master WHERE type = 'index' AND name LIKE 'Goal%' ORDER BY name";
    const QString before = "GoalName\nGoalYearKey";
    ASSERT_EQ(rawSql(goals, indexes), before);

    // A person who may only read the file opens it as it is.
    ::chmod(goals.toLocal8Bit().constData(), 0644);
    {
        PeerOptions o;
        o.uid = kOtherAccount;
        o.userName = "reader";
        Peer reader(shared.folder, o);
        EXPECT_EQ(reader.send("values goals.db GoalDescription"), "ok global|mine|other");
    }
    EXPECT_EQ(rawSql(goals, indexes), before);
    ::chmod(goals.toLocal8Bit().constData(), 0666);

    // While an earlier program writes the goals, this one opens and reads them without the index.
    {
        sqlite3* writer = nullptr;
        ASSERT_EQ(sqlite3_open(goals.toLocal8Bit().constData(), &writer), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(writer, "BEGIN IMMEDIATE; UPDATE goals SET ModifiedBy = 5", nullptr, nullptr,
                               nullptr),
                  SQLITE_OK);
        {
            Database db(session);
            db.open(shared.folder);
            Table t(db, "goals.db");
            EXPECT_NO_THROW(t.open());
            EXPECT_EQ(t.recordCount(), 3);
        }
        sqlite3_exec(writer, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(writer);
    }
    EXPECT_EQ(rawSql(goals, indexes), before);

    // The next workstation to open them adds it, beside the earlier version's own.
    {
        Database db(session);
        db.open(shared.folder);
        Table t(db, "goals.db");
        t.open();
        EXPECT_EQ(t.recordCount(), 3);
    }
    EXPECT_EQ(rawSql(goals, indexes), before + "\nGoalYearUserKey\nGoalYearUserRow");
    // An earlier program goes on writing the file; SQLite keeps every index of it up to date.
    rawSql(goals, "INSERT INTO goals (GoalDescription, GoalYear, GoalTypeID, UserNumber) VALUES "
                  "('later', 2002, 3, 7)");
    EXPECT_EQ(rawSql(goals, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(rawSql(goals,
                     "SELECT GoalDescription FROM goals INDEXED BY GoalYearUserKey WHERE GoalYear = 2002 "
                     "AND GoalTypeID = 3 AND UserNumber = 7 ORDER BY 1"),
              "later\nmine");
}
