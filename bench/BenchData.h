#pragma once

#include "Sample.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QString>
#include <cstdio>

namespace bench {

// The large sample every benchmark program works on: VARDIMO_BENCH_DB, or bench-data beside the
// program, made on first use and shared by the runs after.
inline QString largeSampleFolder() {
    QString dir = qEnvironmentVariable("VARDIMO_BENCH_DB");
    if (dir.isEmpty())
        dir = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("bench-data"));
    if (!QFileInfo::exists(QDir(dir).filePath(QStringLiteral("User.db")))) {
        std::printf("Making the large sample in %s (once)...\n", qPrintable(dir));
        tools::createDatabase(dir, true, tools::SampleSize::Large,
                              [](const QString& s) { std::printf("  %s\n", qPrintable(s)); });
    }
    return dir;
}

} // namespace bench
