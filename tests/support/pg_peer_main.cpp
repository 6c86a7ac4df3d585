// The other workstation of the server-mode tests: opens a database on a PostgreSQL server with
// the engine's server store and obeys one command per line, answering one line each.

#include "engine/Error.h"
#include "engine/PgBackend.h"

#include <QCoreApplication>
#include <QTextStream>
#include <map>
#include <memory>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream in(stdin), out(stdout);
    if (argc < 3) {
        out << "error usage: vardimo-pgpeer URI USER\n";
        return 2;
    }
    engine::PgBackend store;
    try {
        store.open(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    } catch (const engine::Error& e) {
        out << "error " << e.message() << "\n";
        return 1;
    }
    std::map<QString, std::unique_ptr<engine::Backend::OpenLock>> opened;
    auto table = [](const QString& name) -> const engine::TableDef& {
        const engine::TableDef* t = engine::findTable(name);
        if (!t) throw engine::Error(QStringLiteral("Table does not exist: %1").arg(name));
        return *t;
    };
    for (;;) {
        const QString line = in.readLine();
        if (line.isNull()) break;
        const QStringList w = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (w.isEmpty()) continue;
        QString answer;
        try {
            const QString& cmd = w[0];
            if (cmd == QLatin1String("quit")) break;
            if (cmd == QLatin1String("ping")) {
                answer = QStringLiteral("ok");
            } else if (cmd == QLatin1String("open")) { // open TABLE shared|exclusive
                auto lock = store.lockTable(table(w.value(1)), w.value(2) == QLatin1String("exclusive"));
                answer = lock ? QStringLiteral("ok opened") : QStringLiteral("ok refused");
                if (lock) opened[w.value(1).toLower()] = std::move(lock);
            } else if (cmd == QLatin1String("close")) {
                opened.erase(w.value(1).toLower());
                answer = QStringLiteral("ok");
            } else if (cmd == QLatin1String("lock") || cmd == QLatin1String("unlock")) { // lock TABLE KEY
                auto it = opened.find(w.value(1).toLower());
                if (it == opened.end()) throw engine::Error(QStringLiteral("not open: %1").arg(w.value(1)));
                if (cmd == QLatin1String("unlock")) {
                    it->second->unlockRecord(w.value(2).toLongLong());
                    answer = QStringLiteral("ok");
                } else {
                    answer = it->second->lockRecord(w.value(2).toLongLong()) ? QStringLiteral("ok locked")
                                                                             : QStringLiteral("ok refused");
                }
            } else if (cmd == QLatin1String("insert")) { // insert N: N goals, one statement each
                const engine::TableDef& goals = table(QStringLiteral("goals.db"));
                QStringList keys;
                for (int i = 0; i < w.value(1).toInt(); ++i) {
                    QSqlQuery q = store.exec(store.insertSql(goals, {QStringLiteral("GoalDescription")}),
                                             {QStringLiteral("peer goal %1").arg(i)});
                    keys << QString::number(store.insertedKey(q));
                }
                answer = QStringLiteral("ok ") + keys.join(QLatin1Char(','));
            } else if (cmd == QLatin1String("sessions")) {
                answer = QStringLiteral("ok ") + store.sessions().join(QLatin1Char(','));
            } else {
                answer = QStringLiteral("error unknown command ") + cmd;
            }
        } catch (const engine::Error& e) {
            answer = QStringLiteral("error ") + e.message();
        }
        out << answer << "\n";
        out.flush();
    }
    return 0;
}
