// The other workstation of the two-process tests: opens a database folder with the engine and
// obeys one command per line, answering one line each.

#include "engine/Database.h"
#include "engine/Error.h"
#include "engine/Table.h"

#include "admin/MeasureConversion.h"
#include "controls/Dialogs.h"
#include "data/ProgramDataFrm.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QThread>
#include <map>
#include <memory>

// convert multiple|single [PAUSE]: the measurement conversion, run by a data module of its own
// on the folder. With PAUSE it answers "ok paused PAUSE" on reaching that record and stops there
// for good, inside its transaction; without, it answers "ok converting" first and "ok done" at
// the end.
static QString convertMeasures(engine::Session& session, const QString& folder, const QStringList& w,
                               QTextStream& out) {
    controls::ScriptedDialogs dialogs;
    session.addStandardAlias(QStringLiteral("Goal"), folder, QStringLiteral("Paradox"));
    TProgramDataForm dm(session);
    if (!dm.DataModuleCreate()) return QStringLiteral("error ") + dialogs.lastText();
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
        ConvertToMultipleMeasures(dm, progress);
    else
        ConvertToSingleMeasure(dm, progress);
    return QStringLiteral("ok done");
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream in(stdin), out(stdout);
    engine::Session session;
    session.setUserName(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("peer"));
    session.setNetDir(QCoreApplication::applicationDirPath());
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
    QString openError;
    try {
        db.open(QString::fromLocal8Bit(argv[1]));
    } catch (const engine::Error& e) {
        openError = e.message();
    }
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        const QStringList w = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (w.isEmpty()) continue;
        const QString cmd = w[0];
        QString answer = QStringLiteral("ok");
        try {
            if (cmd == QLatin1String("quit")) break;
            if (cmd == QLatin1String("ping")) {
                if (!openError.isEmpty()) throw engine::Error(openError);
            } else if (cmd == QLatin1String("open")) { // open TABLE [exclusive]
                auto& t = table(w[1]);
                t.setExclusive(w.size() > 2);
                t.open();
            } else if (cmd == QLatin1String("close")) {
                table(w[1]).close();
            } else if (cmd == QLatin1String("users")) {
                answer += QLatin1Char(' ') + session.users().join(QLatin1Char(','));
            } else if (cmd == QLatin1String("edit")) { // edit TABLE KEYFIELD KEY FIELD VALUE
                auto& t = opened(w[1]);
                if (!t.locate(w[2], w[3].toLongLong())) throw engine::Error(QStringLiteral("no such row"));
                t.edit();
                t.field(w[4]).setValue(w.mid(5).join(QLatin1Char(' ')));
            } else if (cmd == QLatin1String("post")) {
                table(w[1]).post();
            } else if (cmd == QLatin1String("cancel")) {
                table(w[1]).cancel();
            } else if (cmd == QLatin1String("insert")) { // insert TABLE FIELD VALUE -> key
                auto& t = opened(w[1]);
                t.insert();
                t.field(w[2]).setValue(w.mid(3).join(QLatin1Char(' ')));
                t.post();
                answer += QLatin1Char(' ') + QString::number(t.field(t.def().columns[0].name).asInteger());
            } else if (cmd == QLatin1String("hold")) { // hold TABLE FIELD VALUE: write, then never commit
                auto& t = opened(w[1]);
                db.begin();
                db.exec(QStringLiteral("UPDATE \"%1\".\"%1\" SET \"%2\" = ?").arg(t.def().schemaName, w[2]),
                        {w.mid(3).join(QLatin1Char(' '))});
                out << "ok holding\n";
                out.flush();
                for (;;)
                    QThread::sleep(1);
            } else if (cmd == QLatin1String("churn")) { // churn TABLE FIELD: post forever
                auto& t = table(w[1]);
                out << "ok churning\n";
                out.flush();
                for (qint64 i = 0;; ++i) {
                    t.first();
                    while (!t.eof()) {
                        t.edit();
                        t.field(w[2]).setValue(QStringLiteral("churn %1").arg(i));
                        t.post();
                        t.next();
                    }
                }
            } else if (cmd == QLatin1String("convert")) {
                answer = convertMeasures(session, QString::fromLocal8Bit(argv[1]), w, out);
            } else {
                answer = QStringLiteral("error unknown command");
            }
        } catch (const engine::Error& e) {
            answer = QStringLiteral("error ") + e.message();
        }
        out << answer << "\n";
        out.flush();
    }
    return 0;
}
