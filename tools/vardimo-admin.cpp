// vardimo-admin: makes new databases (folders or on a PostgreSQL server), tells what one holds,
// checks its rows, moves a folder onto a server, exports its rows and prints reports.

#include "Check.h"
#include "Sample.h"
#include "ServerAdmin.h"
#include "controls/Desktop.h"
#include "data/CsvExport.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/Logon.h"
#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/History.h"
#include "engine/PgBackend.h"
#include "engine/Query.h"
#include "engine/Table.h"
#include "reports/StrategyReport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonValue>
#include <QLocale>
#include <QTextStream>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

QTextStream out(stdout);
QTextStream err(stderr);

int usage() {
    err << "Usage:\n"
           "  vardimo-admin create DIR|URI [--sample small|large]   make a new database folder, or the\n"
           "                                                        tables in a server's empty database\n"
           "  vardimo-admin create URI --secure [--sample small]    the same on a server that holds the\n"
           "                                                        logons and the rights itself\n"
           "      --scale N (with --sample, N from 1 to 20)         N times the sample's goals, strategies\n"
           "                                                        and measurements, over the same users\n"
           "  vardimo-admin secure URI                              let a server database's server hold\n"
           "                                                        the logons and the rights: a role per\n"
           "                                                        user, the passwords moved into it; on\n"
           "                                                        one that holds them, bring its rules up\n"
           "                                                        to this version (roles and passwords "
           "kept)\n"
           "  vardimo-admin password URI USERID                     set a user's password on such a server\n"
           "                                                        (read from the standard input)\n"
           "  vardimo-admin pack URI                                give back the space of deleted rows on\n"
           "                                                        a server, as the tables' owner\n"
           "  vardimo-admin info DIR|URI                            record count and size of every table\n"
           "  vardimo-admin check DIR|URI                           duplicate strategy numbers, strategies\n"
           "                                                        without their goal, measurement items\n"
           "                                                        without their strategy; exit status 1\n"
           "                                                        when any is found\n"
           "  vardimo-admin copy DIR URI                            move a folder onto a server, keys kept,\n"
           "                                                        then compare every row\n"
           "  vardimo-admin compare DIR URI                         compare every row of a folder and a "
           "server\n"
           "  vardimo-admin export goals|strategies DIR [--year N]\n"
           "                                                     write goals or strategies as CSV to "
           "stdout\n"
           "  vardimo-admin report strategies DIR|URI --pdf FILE [--year N]\n"
           "                                                     the strategy report of every strategy not\n"
           "                                                     marked do-not-print (of one goal year) as "
           "PDF\n"
           "  vardimo-admin history DIR|URI goal|strategy ID       the kept versions of a goal or a "
           "strategy,\n"
           "                                                        newest first: when, who, what changed\n"
           "URI: postgresql://[user@][host][:port]/database[?host=/socket/folder&...]; the password comes\n"
           "from ~/.pgpass, PGPASSWORD or a service file.\n";
    err.flush();
    return 2;
}

// With no URI, only the users who cannot log on yet.
void reportSecured(const QStringList& withoutPassword, const QString& uri) {
    if (!uri.isEmpty())
        out << "The server now holds the logons and the rights of " << engine::PgLocation::parse(uri).display
            << "\n";
    for (const QString& id : withoutPassword)
        out << id << " has no password and cannot log on until one is set (vardimo-admin password URI " << id
            << ")\n";
}

int secure(const QStringList& args) {
    if (args.size() != 3 || !engine::isServerLocation(args[2])) return usage();
    const tools::Secured done = tools::secureServerDatabase(args[2]);
    if (!done.renewed) {
        reportSecured(done.roles.withoutPassword, args[2]);
        return 0;
    }
    const QString database = engine::PgLocation::parse(args[2]).database;
    out << engine::PgLocation::parse(args[2]).display
        << " held its logons in the server already: its functions, triggers, policies and grants are "
           "now this version's; every role kept its password and every row its data (the user table keeps no "
           "password).\n";
    for (const QString& id : done.roles.renamed)
        out << "The role of " << id << " is now named " << engine::PgRoles::roleName(database, id) << "\n";
    for (const QString& id : done.roles.made)
        out << id << " had no role: " << engine::PgRoles::roleName(database, id) << " made\n";
    reportSecured(done.roles.withoutPassword, {});
    return 0;
}

int password(const QStringList& args) {
    if (args.size() != 4 || !engine::isServerLocation(args[2])) return usage();
    // From the standard input, so that it is in no command line and no shell history.
    QTextStream in(stdin);
    const QString pw = in.readLine();
    tools::setServerPassword(args[2], args[3], pw);
    out << "Password of " << args[3].toUpper() << " set.\n";
    return 0;
}

int pack(const QStringList& args) {
    if (args.size() != 3 || !engine::isServerLocation(args[2])) return usage();
    tools::packServerDatabase(args[2], [](const QString& line) { out << line << "\n" << Qt::flush; });
    return 0;
}

int create(const QStringList& args) {
    if (args.size() < 3) return usage();
    const QString& dir = args[2];
    bool sample = false;
    bool secure = false;
    tools::SampleSize size = tools::SampleSize::Small;
    int scale = 1;
    bool scaled = false;
    for (int i = 3; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--secure")) {
            secure = true;
        } else if (args[i] == QLatin1String("--sample")) {
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
        } else if (args[i] == QLatin1String("--scale")) {
            const QString n = i + 1 < args.size() ? args[++i] : QString();
            const auto parsed = tools::parseSampleScale(n);
            if (!parsed) {
                err << "The scale must be a whole number from 1 to " << tools::kMaxSampleScale
                    << (n.isEmpty() ? QStringLiteral(".\n") : QStringLiteral(", not \"%1\".\n").arg(n));
                return 2;
            }
            scale = *parsed;
            scaled = true;
        } else {
            return usage();
        }
    }
    if (scaled && !sample) {
        err << "--scale sizes a sample: give --sample as well.\n";
        return 2;
    }
    auto progress = [](const QString& line) {
        out << line << "\n";
        out.flush();
    };
    if (engine::isServerLocation(dir)) {
        if (secure)
            reportSecured(tools::createSecureServerDatabase(dir, sample, size, progress, scale), dir);
        else
            tools::createServerDatabase(dir, sample, size, progress, scale);
        out << "Database ready on " << engine::PgLocation::parse(dir).display << "\n";
        return 0;
    }
    if (secure) {
        err << "Only a server database holds its logons in the server; a folder cannot.\n";
        return 2;
    }
    tools::createDatabase(dir, sample, size, progress, scale);
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

QString shown(const QJsonValue& v) {
    if (v.isNull() || v.isUndefined()) return QStringLiteral("(empty)");
    if (v.isBool()) return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    if (v.isDouble()) return QString::number(v.toDouble(), 'g', 15);
    return QLatin1Char('"') + v.toString() + QLatin1Char('"');
}

int history(const QStringList& args) {
    if (args.size() != 5 || (args[3] != QLatin1String("goal") && args[3] != QLatin1String("strategy")))
        return usage();
    bool ok = false;
    const qint64 key = args[4].toLongLong(&ok);
    if (!ok) return usage();
    engine::Session session;
    engine::Database db(session);
    db.open(args[2]);
    const engine::TableDef& t = *engine::findTable(
        args[3] == QLatin1String("goal") ? QStringLiteral("goals.db") : QStringLiteral("Strategys.db"));
    const std::vector<engine::Version> versions = engine::History::versions(db, t, key);
    if (versions.empty()) {
        out << "No versions of " << args[3] << " " << key << " are kept.\n";
        return 0;
    }
    QHash<int, QString> names;
    engine::Query users(db);
    users.add("Select UserNumber, UserName From \"User.db\"");
    users.open();
    for (users.first(); !users.eof(); users.next())
        names.insert(users.field("UserNumber").asInt(), users.field("UserName").asString());
    for (const engine::Version& v : versions) {
        const char* action = v.action == engine::Version::Action::Insert   ? "added"
                             : v.action == engine::Version::Action::Delete ? "deleted"
                                                                           : "changed";
        const QString who = v.changedBy > 0
                                ? QStringLiteral("%1 (%2)").arg(names.value(v.changedBy)).arg(v.changedBy)
                                : QStringLiteral("unknown");
        out << v.changedAt << "  " << who << "  " << action << "\n";
        for (const QString& c : v.changedColumns(t)) {
            if (v.action == engine::Version::Action::Update)
                out << "    " << c << ": " << shown(v.before.value(c)) << " -> " << shown(v.after.value(c))
                    << "\n";
            else
                out << "    " << c << ": " << shown(v.values().value(c)) << "\n";
        }
    }
    return 0;
}

int check(const QStringList& args) {
    if (args.size() != 3) return usage();
    const QStringList found = tools::checkDatabase(args[2]);
    for (const QString& line : found)
        out << line << "\n";
    if (found.isEmpty())
        out << "No duplicate strategy numbers, orphan strategies or orphan measurement items.\n";
    return found.isEmpty() ? 0 : 1;
}

int exportCsv(const QStringList& args) {
    if (args.size() < 4) return usage();
    const QString& what = args[2];
    const QString& dir = args[3];
    if (what != QLatin1String("goals") && what != QLatin1String("strategies")) {
        err << "Unknown export: " << what << " (goals or strategies)\n";
        return 2;
    }
    std::optional<int> year;
    for (int i = 4; i < args.size(); ++i) {
        bool ok = false;
        if (args[i] == QLatin1String("--year") && i + 1 < args.size()) year = args[++i].toInt(&ok);
        if (!ok) return usage();
    }
    if (dir.contains(QLatin1String("://"))) {
        err << "vardimo-admin: only a database folder can be exported; server databases (" << dir
            << ") are not supported by this version.\n";
        return 2;
    }
    if (!QFileInfo(dir).isDir()) {
        err << "vardimo-admin: no database folder " << dir << "\n";
        return 1;
    }
    engine::Session session;
    engine::Database db(session);
    db.open(dir);
    // As the program shows strategies: with their measurement items when the system setting says so.
    bool measurementItems = false;
    if (what == QLatin1String("strategies")) {
        engine::Query settings(db);
        settings.add("Select MultipulMeasure From \"Settings.db\"");
        settings.open();
        measurementItems =
            !settings.isEmpty() && settings.field(QStringLiteral("MultipulMeasure")).asBoolean();
    }
    QFile stdOut;
    stdOut.open(stdout, QIODevice::WriteOnly);
    QString failure;
    const bool written = what == QLatin1String("goals")
                             ? data::csv::exportGoals(db, year, stdOut, &failure)
                             : data::csv::exportStrategies(db, year, measurementItems, stdOut, &failure);
    stdOut.flush();
    if (!written) {
        err << "vardimo-admin: the CSV could not be written: " << failure << "\n";
        return 1;
    }
    return 0;
}

// Messages of the data module and the report go to the error output; nobody is there to answer.
class ConsoleDialogs : public controls::Dialogs {
public:
    controls::Answer message(const QString& text, const QString&, controls::Icon,
                             controls::Buttons) override {
        err << "vardimo-admin: " << text << "\n";
        err.flush();
        return controls::Answer::Ok;
    }
    bool print(QPrinter&, QWidget*) override { return false; }
    bool printerSetup(QPrinter&, QWidget*) override { return false; }
    QString pictureFile(const QString&, QWidget*) override { return {}; }
    int showModal(QDialog&) override { return 0; }
};

int report(const QStringList& args) {
    if (args.size() < 4 || args[2] != QLatin1String("strategies")) return usage();
    const QString& dir = args[3];
    QString pdf;
    std::optional<int> year;
    for (int i = 4; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--pdf") && i + 1 < args.size()) {
            pdf = args[++i];
        } else if (args[i] == QLatin1String("--year") && i + 1 < args.size()) {
            bool ok = false;
            year = args[++i].toInt(&ok);
            if (!ok) {
                err << "Not a year: " << args[i] << "\n";
                return 2;
            }
        } else {
            return usage();
        }
    }
    if (pdf.isEmpty()) return usage();
    // A server is asked when the data module opens it; a folder without the user table is
    // refused before anything is made in it.
    const bool server = engine::isServerLocation(dir);
    if (!server && !QFileInfo::exists(QDir(dir).filePath(QStringLiteral("User.db"))) &&
        engine::Database::findFile(dir, QStringLiteral("User.db")).isEmpty()) {
        err << "No database in " << dir << "\n";
        return 1;
    }

    ConsoleDialogs console;
    const controls::Desktop desktop{console};
    engine::Session session;
    session.addAlias(QStringLiteral("Goal"), server ? dir : QDir(dir).absolutePath());
    auto dm = std::make_unique<data::DataModule>(session);
    try {
        dm->open();
    } catch (const engine::Error& e) {
        desktop.showError(e.message());
        return 1;
    }
    dm->user().settings = data::readSystemSettings(*dm);

    namespace sql = engine::sql;
    engine::Query q(dm->goalDatabase);
    reports::beginStrategyQuery(q);
    if (year) q.add("G.GoalYear = ", sql::Int{*year}, " And");
    q.add("S.DoNotPrint = False");
    q.add("Order by s.UserNumber, G.GoalDescription, S.StrategyNumber");
    q.prepare();
    q.open();
    const int rows = q.recordCount();
    int pages = 0;
    {
        reports::StrategyReport rpt(*dm, q);
        rpt.onWarning = [](const QString& m) { err << "vardimo-admin: " << m << "\n"; };
        rpt.printToPdf(pdf);
        pages = rpt.pageCount();
    }
    q.close();
    q.unprepare();
    out << rows << " strategies, " << pages << " pages written to " << QDir::toNativeSeparators(pdf) << "\n";
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
    const bool reporting = argc > 1 && QLatin1String(argv[1]) == QLatin1String("report");
    // Reports are drawn with fonts, which needs a GUI application, though not a screen.
    if (reporting && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app = reporting ? std::make_unique<QApplication>(argc, argv)
                                                      : std::make_unique<QCoreApplication>(argc, argv);
    const QStringList args = app->arguments();
    if (args.size() < 2) return usage();
    try {
        if (args[1] == QLatin1String("create")) return create(args);
        if (args[1] == QLatin1String("info")) return info(args);
        if (args[1] == QLatin1String("history")) return history(args);
        if (args[1] == QLatin1String("check")) return check(args);
        if (args[1] == QLatin1String("export")) return exportCsv(args);
        if (reporting) return report(args);
        if (args[1] == QLatin1String("copy")) return copy(args);
        if (args[1] == QLatin1String("compare")) return compare(args);
        if (args[1] == QLatin1String("secure")) return secure(args);
        if (args[1] == QLatin1String("password")) return password(args);
        if (args[1] == QLatin1String("pack")) return pack(args);
    } catch (const engine::Error& e) {
        err << "vardimo-admin: " << e.message() << "\n";
        return 1;
    }
    return usage();
}
