// The other workstation of the multi-process tests: opens a database folder with the engine and
// obeys one command per line, answering one line each ("ok ..." or "error <message>").
//
// Arguments: FOLDER [USERNAME [NETDIR]]. With VARDIMO_PEER_CRASH_AFTER=N in the environment the
// process kills itself at the (N+1)-th write to a table file made after a commit over several
// files has written its super-journal: a crash in the middle of such a commit, on purpose.
//
// To add a command: one more branch in `commands` below; keep the answer on one line.

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Query.h"
#include "engine/Table.h"

#include "admin/MeasureConversion.h"
#include "controls/Dialogs.h"
#include "data/DataModule.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTextStream>
#include <QThread>
#include <csignal>
#include <functional>
#include <map>
#include <memory>
#include <sqlite3.h>

namespace {

// ---- a file layer that crashes mid-commit ---------------------------------------------------

sqlite3_vfs* baseVfs = nullptr;
sqlite3_vfs crashVfs;
sqlite3_io_methods crashIo;
int crashAfter = -1;
bool superJournalSeen = false;
int tableWrites = 0;

struct CrashFile {
    sqlite3_file base;
    sqlite3_file* real;
    int flags;
};

sqlite3_file* real(sqlite3_file* f) {
    return reinterpret_cast<CrashFile*>(f)->real;
}

int crashWrite(sqlite3_file* f, const void* p, int n, sqlite3_int64 off) {
    auto* c = reinterpret_cast<CrashFile*>(f);
    if ((c->flags & SQLITE_OPEN_MAIN_DB) && superJournalSeen && ++tableWrites > crashAfter) ::raise(SIGKILL);
    return c->real->pMethods->xWrite(c->real, p, n, off);
}

int crashOpen(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
    auto* c = reinterpret_cast<CrashFile*>(f);
    c->real = reinterpret_cast<sqlite3_file*>(c + 1);
    c->flags = flags;
    if (flags & SQLITE_OPEN_SUPER_JOURNAL) superJournalSeen = true;
    const int rc = baseVfs->xOpen(baseVfs, name, c->real, flags, outFlags);
    c->base.pMethods = rc == SQLITE_OK && c->real->pMethods ? &crashIo : nullptr;
    return rc;
}

void installCrashVfs(int after) {
    crashAfter = after;
    baseVfs = sqlite3_vfs_find(nullptr);
    crashVfs = *baseVfs;
    crashVfs.zName = "vardimo-crash";
    crashVfs.szOsFile = int(sizeof(CrashFile)) + baseVfs->szOsFile;
    crashVfs.xOpen = crashOpen;
    crashIo = sqlite3_io_methods{};
    crashIo.iVersion = 1;
    crashIo.xClose = [](sqlite3_file* f) { return real(f)->pMethods->xClose(real(f)); };
    crashIo.xRead = [](sqlite3_file* f, void* p, int n, sqlite3_int64 o) {
        return real(f)->pMethods->xRead(real(f), p, n, o);
    };
    crashIo.xWrite = crashWrite;
    crashIo.xTruncate = [](sqlite3_file* f, sqlite3_int64 s) {
        return real(f)->pMethods->xTruncate(real(f), s);
    };
    crashIo.xSync = [](sqlite3_file* f, int fl) { return real(f)->pMethods->xSync(real(f), fl); };
    crashIo.xFileSize = [](sqlite3_file* f, sqlite3_int64* s) {
        return real(f)->pMethods->xFileSize(real(f), s);
    };
    crashIo.xLock = [](sqlite3_file* f, int l) { return real(f)->pMethods->xLock(real(f), l); };
    crashIo.xUnlock = [](sqlite3_file* f, int l) { return real(f)->pMethods->xUnlock(real(f), l); };
    crashIo.xCheckReservedLock = [](sqlite3_file* f, int* r) {
        return real(f)->pMethods->xCheckReservedLock(real(f), r);
    };
    crashIo.xFileControl = [](sqlite3_file* f, int op, void* a) {
        return real(f)->pMethods->xFileControl(real(f), op, a);
    };
    crashIo.xSectorSize = [](sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); };
    crashIo.xDeviceCharacteristics = [](sqlite3_file* f) {
        return real(f)->pMethods->xDeviceCharacteristics(real(f));
    };
    sqlite3_vfs_register(&crashVfs, 1);
}

} // namespace

// convert multiple|single [PAUSE]: the measurement conversion, run by a data module of its own
// on the folder. With PAUSE it answers "ok paused PAUSE" on reaching that record and stops there
// for good, inside its transaction; without, it answers "ok converting" first and "ok done" at
// the end.
static QString convertMeasures(engine::Session& session, const QString& folder, const QStringList& w,
                               QTextStream& out) {
    session.addAlias(QStringLiteral("Goal"), folder);
    data::DataModule dm(session);
    try {
        dm.open();
    } catch (const engine::Error& e) {
        return QStringLiteral("error ") + e.message();
    }
    const int pause = w.size() > 2 ? w[2].toInt() : 0;
    auto progress = [&](int record) {
        if (pause == 0 || record != pause) return;
        out << "ok paused " << record << "\n";
        out.flush();
        for (;;)
            QThread::sleep(1);
    };
    if (pause == 0) {
        out << "ok converting\n";
        out.flush();
    }
    if (w.value(1) == QLatin1String("multiple"))
        admin::convertToMultipleMeasures(dm, progress);
    else
        admin::convertToSingleMeasure(dm, progress);
    return QStringLiteral("ok done");
}

// strategies GOAL USER COUNT GOFILE: inserts COUNT strategies of a user under a goal as the
// strategy list and its editor do, through a data module of its own. Answers "ok ready", waits
// for GOFILE to exist (so that two workstations start together), then answers "ok done N" with
// N the inserts whose stored number differs from the one the editor showed.
static QString insertStrategies(engine::Session& session, const QString& location, const QStringList& w,
                                QTextStream& out) {
    session.addAlias(QStringLiteral("Goal"), location);
    data::DataModule dm(session);
    try {
        dm.open();
    } catch (const engine::Error& e) {
        return QStringLiteral("error ") + e.message();
    }
    const data::StrategySelection where{w.value(1).toInt(), w.value(2).toInt()};
    out << "ok ready\n";
    out.flush();
    while (!QFile::exists(w.value(4)))
        QThread::msleep(2);
    engine::Table& s = dm.strategyTable;
    int renumbered = 0;
    for (int i = 0; i < w.value(3).toInt(); ++i) {
        const int shown = dm.nextStrategyNumber(where);
        s.insert();
        s.field(QStringLiteral("UserNumber")).setValue(where.user);
        s.field(QStringLiteral("GoalID")).setValue(where.goal);
        s.field(QStringLiteral("StrategyNumber")).setValue(shown);
        s.field(QStringLiteral("StrategyDescription"))
            .setValue(QStringLiteral("from %1").arg(session.userName()));
        s.post();
        if (s.field(QStringLiteral("StrategyNumber")).asInt() != shown) ++renumbered;
    }
    return QStringLiteral("ok done %1").arg(renumbered);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("VARDIMO_PEER_CRASH_AFTER"))
        installCrashVfs(qEnvironmentVariableIntValue("VARDIMO_PEER_CRASH_AFTER"));
    QCoreApplication app(argc, argv);
    QTextStream in(stdin), out(stdout);
    engine::Session session;
    session.setUserName(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("peer"));
    const QString netDir = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    session.setNetDir(netDir.isEmpty() ? QCoreApplication::applicationDirPath() : netDir);
    engine::Database db(session);
    std::map<QString, std::unique_ptr<engine::Table>> tables;
    auto table = [&](const QString& name) -> engine::Table& {
        auto& t = tables[name.toLower()];
        if (!t) t = std::make_unique<engine::Table>(db, name);
        return *t;
    };
    auto opened = [&](const QString& name) -> engine::Table& {
        auto& t = table(name);
        if (!t.isOpen()) t.open();
        return t;
    };
    auto rest = [](const QStringList& w, int from) { return w.mid(from).join(QLatin1Char(' ')); };
    auto reply = [&](const QString& s) {
        out << s << "\n";
        out.flush();
    };
    // Writes a value into every row of a table's column, outside the table objects.
    auto updateAll = [&](const QString& file, const QString& field, const QString& value) {
        const engine::TableDef& def = opened(file).def();
        const engine::Backend& store = db.backend();
        db.exec(QStringLiteral("UPDATE %1 SET %2 = ?").arg(store.tableName(def), store.columnName(field)),
                {value}, def.fileName);
    };

    QString openError;
    try {
        db.open(QString::fromLocal8Bit(argv[1]));
    } catch (const engine::Error& e) {
        openError = e.message();
    }

    using Command = std::function<QString(const QStringList&)>;
    const std::map<QString, Command> commands{
        {"ping",
         [&](const QStringList&) {
             if (!openError.isEmpty()) throw engine::Error(openError);
             return QString();
         }},
        {"open", // open TABLE [exclusive]
         [&](const QStringList& w) {
             auto& t = table(w[1]);
             t.setExclusive(w.size() > 2);
             t.open();
             return QString();
         }},
        {"close", [&](const QStringList& w) { return table(w[1]).close(), QString(); }},
        {"users", [&](const QStringList&) { return db.sessions().join(QLatin1Char(',')); }},
        {"edit", // edit TABLE KEYFIELD KEY FIELD VALUE
         [&](const QStringList& w) {
             auto& t = opened(w[1]);
             if (!t.locate(w[2], w[3].toLongLong())) throw engine::Error(QStringLiteral("no such row"));
             t.edit();
             t.field(w[4]).setValue(rest(w, 5));
             return QString();
         }},
        {"post", [&](const QStringList& w) { return table(w[1]).post(), QString(); }},
        {"cancel", [&](const QStringList& w) { return table(w[1]).cancel(), QString(); }},
        {"insert", // insert TABLE FIELD VALUE -> key
         [&](const QStringList& w) {
             auto& t = opened(w[1]);
             t.insert();
             t.field(w[2]).setValue(rest(w, 3));
             t.post();
             return QString::number(t.field(t.def().columns[0].name).asInteger());
         }},
        {"delete", // delete TABLE KEYFIELD KEY
         [&](const QStringList& w) {
             auto& t = opened(w[1]);
             if (!t.locate(w[2], w[3].toLongLong())) throw engine::Error(QStringLiteral("no such row"));
             t.remove();
             return QString();
         }},
        {"hold", // hold TABLE FIELD VALUE: write, then never commit
         [&](const QStringList& w) {
             opened(w[1]);
             db.begin();
             updateAll(w[1], w[2], rest(w, 3));
             reply(QStringLiteral("ok holding"));
             for (;;)
                 QThread::sleep(1);
             return QString();
         }},
        {"holdfor", // holdfor MS TABLE FIELD VALUE: write, answer, commit after MS milliseconds
         [&](const QStringList& w) {
             opened(w[2]);
             engine::Transaction tx(db);
             updateAll(w[2], w[3], rest(w, 4));
             reply(QStringLiteral("ok holding"));
             QThread::msleep(w[1].toULong());
             tx.commit();
             return QStringLiteral("committed");
         }},
        {"update2", // update2 TABLE FIELD TABLE FIELD VALUE: one commit over two table files
         [&](const QStringList& w) {
             opened(w[1]);
             opened(w[3]);
             engine::Transaction tx(db);
             updateAll(w[1], w[2], rest(w, 5));
             updateAll(w[3], w[4], rest(w, 5));
             tx.commit();
             return QString();
         }},
        {"values", // values TABLE FIELD -> the distinct values of a column, sorted, joined by '|'
         [&](const QStringList& w) {
             const engine::TableDef& def = opened(w[1]).def();
             QSqlQuery q = db.exec(QStringLiteral("SELECT DISTINCT %1 FROM %2 ORDER BY 1")
                                       .arg(engine::quoteIdentifier(w[2]), def.qualifiedName()));
             QStringList v;
             while (q.next())
                 v << q.value(0).toString();
             return v.join(QLatin1Char('|'));
         }},
        {"integrity", // integrity -> one "file=result" per table
         [&](const QStringList&) {
             QStringList v;
             for (const auto& def : engine::tables()) {
                 db.attach(def);
                 QSqlQuery q = db.exec(QStringLiteral("PRAGMA %1.integrity_check")
                                           .arg(engine::quoteIdentifier(def.schemaName)));
                 v << def.fileName + QLatin1Char('=') +
                          (q.next() ? q.value(0).toString() : QStringLiteral("?"));
             }
             return v.join(QLatin1Char(' '));
         }},
        {"convert", // convert multiple|single [PAUSE]
         [&](const QStringList& w) {
             const QString r = convertMeasures(session, QString::fromLocal8Bit(argv[1]), w, out);
             if (r.startsWith(QLatin1String("error "))) throw engine::Error(r.mid(6));
             return r.mid(3);
         }},
        {"strategies", // strategies GOAL USER COUNT GOFILE
         [&](const QStringList& w) {
             const QString r = insertStrategies(session, QString::fromLocal8Bit(argv[1]), w, out);
             if (r.startsWith(QLatin1String("error "))) throw engine::Error(r.mid(6));
             return r.mid(3);
         }},
        {"snapshot", // snapshot TABLE -> rows of a unidirectional Select * of the table
         [&](const QStringList& w) {
             engine::Query q(db);
             q.setUniDirectional(true);
             q.add(QStringLiteral("Select * From \"%1\"").arg(w[1]));
             q.open();
             return QString::number(q.recordCount());
         }},
        {"block", // block TABLE: keeps every reader out of a table file until the line "release"
         [&](const QStringList& w) {
             const QString file = engine::Database::findFile(QString::fromLocal8Bit(argv[1]), w[1]);
             sqlite3* raw = nullptr;
             if (file.isEmpty() ||
                 sqlite3_open_v2(QFile::encodeName(file).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr) !=
                     SQLITE_OK ||
                 sqlite3_exec(raw, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
                 sqlite3_close(raw);
                 throw engine::Error(QStringLiteral("cannot block ") + w[1]);
             }
             reply(QStringLiteral("ok blocking"));
             while (!in.atEnd() && in.readLine().trimmed() != QLatin1String("release")) {
             }
             sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
             sqlite3_close(raw);
             return QStringLiteral("released");
         }},
        {"soak", // soak SEED: writes and deletes goals with their strategies and measurements until
                 // killed, one line per commit: "saved GOAL S,S.. M,M..|-", "deleting GOAL" before
                 // and "deleted GOAL" after a delete, "failed MESSAGE"
         [&](const QStringList& w) {
             QRandomGenerator rng(w[1].toUInt());
             engine::Table& goals = table(QStringLiteral("goals.db"));
             engine::Table& strategies = table(QStringLiteral("Strategys.db"));
             engine::Table& measures = table(QStringLiteral("Measure.db"));
             const engine::Backend& store = db.backend();
             auto removeWhere = [&](engine::Table& t, const QString& column, const QString& inner,
                                    qint64 goal) {
                 db.exec(QStringLiteral("DELETE FROM %1 WHERE %2 %3")
                             .arg(store.tableName(t.def()), store.columnName(column), inner),
                         {goal}, t.def().fileName);
             };
             reply(QStringLiteral("ok soaking"));
             QList<qint64> mine;
             for (qint64 n = 0;; ++n) {
                 try {
                     // Opening reads the table, which may be busy as any write: tried again.
                     for (engine::Table* t : {&goals, &strategies, &measures})
                         if (!t->isOpen()) t->open();
                     if (mine.isEmpty() || rng.bounded(100) < 70) {
                         engine::Transaction tx(db);
                         goals.insert();
                         goals.field(QStringLiteral("GoalDescription"))
                             .setValue(QStringLiteral("soak %1 %2").arg(session.userName()).arg(n));
                         goals.post();
                         const qint64 goal = goals.field(QStringLiteral("GoalID")).asInteger();
                         QStringList s, m;
                         for (int i = 0, k = 1 + int(rng.bounded(3)); i < k; ++i) {
                             strategies.insert();
                             strategies.field(QStringLiteral("GoalID")).setValue(goal);
                             strategies.field(QStringLiteral("StrategyDescription"))
                                 .setValue(QStringLiteral("step %1").arg(i));
                             strategies.post();
                             const qint64 strategy =
                                 strategies.field(QStringLiteral("StrategyID")).asInteger();
                             s << QString::number(strategy);
                             for (int j = 0, l = int(rng.bounded(3)); j < l; ++j) {
                                 measures.insert();
                                 measures.field(QStringLiteral("StrategyID")).setValue(strategy);
                                 measures.field(QStringLiteral("MeasurementNumber")).setValue(j + 1);
                                 measures.post();
                                 m << QString::number(
                                     measures.field(QStringLiteral("MeasurementID")).asInteger());
                             }
                         }
                         tx.commit();
                         reply(QStringLiteral("saved %1 %2 %3")
                                   .arg(goal)
                                   .arg(s.join(QLatin1Char(',')),
                                        m.isEmpty() ? QStringLiteral("-") : m.join(QLatin1Char(','))));
                         mine << goal;
                     } else {
                         const qint64 goal = mine.takeAt(int(rng.bounded(qsizetype(mine.size()))));
                         reply(QStringLiteral("deleting %1").arg(goal));
                         engine::Transaction tx(db);
                         removeWhere(measures, QStringLiteral("StrategyID"),
                                     QStringLiteral("IN (SELECT %1 FROM %2 WHERE %3 = ?)")
                                         .arg(store.columnName(QStringLiteral("StrategyID")),
                                              store.tableName(strategies.def()),
                                              store.columnName(QStringLiteral("GoalID"))),
                                     goal);
                         removeWhere(strategies, QStringLiteral("GoalID"), QStringLiteral("= ?"), goal);
                         removeWhere(goals, QStringLiteral("GoalID"), QStringLiteral("= ?"), goal);
                         tx.commit();
                         reply(QStringLiteral("deleted %1").arg(goal));
                     }
                 } catch (const engine::Error& e) {
                     // Nothing of a failed transaction is reported, so nothing of it is expected.
                     goals.cancel();
                     strategies.cancel();
                     measures.cancel();
                     reply(QStringLiteral("failed ") + e.message());
                     QThread::msleep(rng.bounded(50));
                 }
             }
             return QString();
         }},
        {"churn", // churn TABLE FIELD: post forever
         [&](const QStringList& w) {
             auto& t = table(w[1]);
             reply(QStringLiteral("ok churning"));
             for (qint64 i = 0;; ++i) {
                 t.first();
                 while (!t.eof()) {
                     t.edit();
                     t.field(w[2]).setValue(QStringLiteral("churn %1").arg(i));
                     t.post();
                     t.next();
                 }
             }
             return QString();
         }},
    };

    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        const QStringList w = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (w.isEmpty()) continue;
        if (w[0] == QLatin1String("quit")) break;
        QString answer;
        try {
            auto it = commands.find(w[0]);
            if (it == commands.end()) {
                answer = QStringLiteral("error unknown command");
            } else {
                const QString result = it->second(w);
                answer = result.isEmpty() ? QStringLiteral("ok") : QStringLiteral("ok ") + result;
            }
        } catch (const engine::Error& e) {
            answer = QStringLiteral("error ") + e.message();
        }
        reply(answer);
    }
    return 0;
}
