#pragma once

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QVector>

namespace testing_support {

// Reads a CSV file with Python's csv module, the way another program would read what we write.
// Returns false (with the reason) when Python is not there or could not read the file.
inline bool readCsvWithPython(const QString& file, QVector<QStringList>* rows, QString* why) {
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) {
        *why = QStringLiteral("python3 is not installed");
        return false;
    }
    QProcess p;
    p.start(python, {QStringLiteral("-c"),
                     QStringLiteral("import csv, json, sys\n"
                                    "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                    "    print(json.dumps(list(csv.reader(f, strict=True))))\n"),
                     file});
    p.waitForFinished(60000);
    if (p.exitCode() != 0) {
        *why = QString::fromUtf8(p.readAllStandardError());
        return false;
    }
    rows->clear();
    for (const QJsonValue& row : QJsonDocument::fromJson(p.readAllStandardOutput()).array()) {
        QStringList fields;
        for (const QJsonValue& v : row.toArray())
            fields << v.toString();
        rows->push_back(fields);
    }
    return true;
}

} // namespace testing_support
