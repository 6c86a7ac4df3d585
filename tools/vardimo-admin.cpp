// vardimo-admin: makes new databases (folders or on a PostgreSQL server), tells what one holds,
// and moves a folder onto a server.

#include "Sample.h"
#include "ServerAdmin.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/PgBackend.h"
#include "engine/Table.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTextStream>
#include <cstdio>

namespace {

QTextStream out(stdout);
QTextStream err(stderr);

int usage() {
    err << "Usage:\n"
           "  vardimo-admin create DIR|URI [--sample small|large]   make a new database folder, or the\n"
           "                                                        tables in a server's empty database\n"
           "  vardimo-admin info DIR|URI                            record count and size of every table\n"
           "  vardimo-admin copy DIR URI                            move a folder onto a server, keys kept,\n"
           "                                                        then compare every row\n"
           "  vardimo-admin compare DIR URI                         compare every row of a folder and a "
           "server\n"
           "URI: postgresql://[user@][host][:port]/database[?host=/socket/folder&...]; the password comes\n"
           "from ~/.pgpass, PGPASSWORD or a service file.\n";
    err.flush();
    return 2;
}

int create(const QStringList& args) {
    if (args.size() < 3) return usage();
    const QString& dir = args[2];
    bool sample = false;
    tools::SampleSize size = tools::SampleSize::Small;
    for (int i = 3; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--sample")) {
            sample = true;
            if (i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("--"))) {
                const QString& s = args[++i];
                if (s == QLatin1String("large"))
                    size = tools::SampleSize::Large;
                else if (s != QLatin1String("small")) {
                    err << "Unknown sample size: " << s << " (small or large)\n";
                    return 2;
                }
            }
        } else {
            return usage();
        }
    }
    auto progress = [](const QString& line) {
        out << line << "\n";
        out.flush();
    };
    if (engine::isServerLocation(dir)) {
        tools::createServerDatabase(dir, sample, size, progress);
        out << "Database ready on " << engine::PgLocation::parse(dir).display << "\n";
        return 0;
    }
    tools::createDatabase(dir, sample, size, progress);
    out << "Database ready in " << QDir(dir).absolutePath() << "\n";
    return 0;
}

int info(const QStringList& args) {
    if (args.size() != 3) return usage();
    QLocale loc(QLocale::English, QLocale::UnitedStates);
    if (engine::isServerLocation(args[2])) {
        const auto infos = tools::serverInfo(args[2]);
        out << QStringLiteral("%1 %2 %3\n")
                   .arg(QStringLiteral("Table"), -16)
                   .arg(QStringLiteral("Records"), 12)
                   .arg(QStringLiteral("Bytes"), 14);
        for (const auto& t : infos)
            out << QStringLiteral("%1 %2 %3\n")
                       .arg(t.fileName, -16)
                       .arg(loc.toString(t.records), 12)
                       .arg(loc.toString(t.bytes), 14);
        return 0;
    }
    engine::Session session;
    engine::Database db(session);
    db.open(args[2]);
    out << QStringLiteral("%1 %2 %3\n")
               .arg(QStringLiteral("Table"), -16)
               .arg(QStringLiteral("Records"), 12)
               .arg(QStringLiteral("Bytes"), 14);
    for (const auto& def : engine::tables()) {
        engine::Table t(db, def.fileName);
        t.open();
        out << QStringLiteral("%1 %2 %3\n")
                   .arg(def.fileName, -16)
                   .arg(loc.toString(t.recordCount()), 12)
                   .arg(loc.toString(t.fileSize()), 14);
        t.close();
    }
    return 0;
}

int copy(const QStringList& args) {
    if (args.size() != 4 || engine::isServerLocation(args[2]) || !engine::isServerLocation(args[3]))
        return usage();
    tools::copyToServer(args[2], args[3], [](const QString& line) {
        out << line << "\n";
        out.flush();
    });
    out << "Database copied to " << engine::PgLocation::parse(args[3]).display << "\n";
    return 0;
}

int compare(const QStringList& args) {
    if (args.size() != 4 || engine::isServerLocation(args[2]) || !engine::isServerLocation(args[3]))
        return usage();
    const QStringList differences = tools::compareWithServer(args[2], args[3]);
    if (differences.isEmpty()) {
        out << "Every row is the same in both.\n";
        return 0;
    }
    for (const QString& d : differences)
        out << d << "\n";
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) return usage();
    try {
        if (args[1] == QLatin1String("create")) return create(args);
        if (args[1] == QLatin1String("info")) return info(args);
        if (args[1] == QLatin1String("copy")) return copy(args);
        if (args[1] == QLatin1String("compare")) return compare(args);
    } catch (const engine::Error& e) {
        err << "vardimo-admin: " << e.message() << "\n";
        return 1;
    }
    return usage();
}
