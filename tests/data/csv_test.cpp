// CSV as other programs read it: quotes, commas, line breaks, non-ASCII text and values that a
// spreadsheet would otherwise run as formulas.

#include "data/Csv.h"
#include "data/CsvExport.h"
#include "support/DataFixture.h"
#include "support/PythonCsv.h"

#include <QBuffer>
#include <QDate>
#include <QFile>
#include <gtest/gtest.h>

using testing_support::DataFixture;
using testing_support::readCsvWithPython;
using testing_support::TempDir;

TEST(Csv, FieldsFollowRfc4180AndDefuseFormulas) {
    EXPECT_EQ(data::csv::field(QStringLiteral("plain")), "\"plain\"");
    EXPECT_EQ(data::csv::field(QStringLiteral("say \"hi\"")), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(data::csv::field(QStringLiteral("a,b\r\nc")), "\"a,b\r\nc\"");
    EXPECT_EQ(data::csv::field(QStringLiteral("=SUM(A1)")), "\"'=SUM(A1)\"");
    EXPECT_EQ(data::csv::field(QStringLiteral("@cmd")), "\"'@cmd\"");
    EXPECT_EQ(data::csv::field(QStringLiteral("-1+2")), "\"'-1+2\"") << "text, not a number";
    EXPECT_EQ(data::csv::field(qint64(-5)), "-5") << "a number stays a number";
    EXPECT_EQ(data::csv::field(3.0), "3");
    EXPECT_EQ(data::csv::field(QVariant()), "");
    EXPECT_EQ(data::csv::field(QStringLiteral("")), "\"\"") << "empty text differs from no value";
    EXPECT_EQ(data::csv::field(QDate(2026, 3, 1)), "2026-03-01");
    EXPECT_EQ(data::csv::field(true), "True");
    EXPECT_EQ(data::csv::record({1, QStringLiteral("x")}), "1,\"x\"\r\n");
}

TEST(Csv, FormulasHiddenBehindBlanksLineBreaksAndFullWidthSignsAreDefused) {
    EXPECT_EQ(data::csv::field(QStringLiteral(" =1+1")), "\"' =1+1\"");
    EXPECT_EQ(data::csv::field(QStringLiteral("  \t@cmd")), "\"'  \t@cmd\"");
    EXPECT_EQ(data::csv::field(QStringLiteral("\n=1+1")), "\"'\n=1+1\"");
    EXPECT_EQ(data::csv::field(QStringLiteral("\nplain")), "\"'\nplain\"") << "a leading line break itself";
    EXPECT_EQ(data::csv::field(QString::fromUtf8("\uFF1D1+1")), QString::fromUtf8("\"'\uFF1D1+1\""));
    for (const char* sign : {"\uFF0B", "\uFF0D", "\uFF20", "\u3000\uFF1D"})
        EXPECT_TRUE(data::csv::field(QString::fromUtf8(sign) + "x").startsWith("\"'")) << sign;
    EXPECT_EQ(data::csv::field(QStringLiteral(" plain")), "\" plain\"") << "a blank alone is harmless";
    EXPECT_EQ(data::csv::field(QStringLiteral("a - b")), "\"a - b\"") << "only the start counts";
    EXPECT_EQ(data::csv::field(QString("a") + QChar(0) + "b"), "\"ab\"") << "no NUL is written";
    EXPECT_EQ(data::csv::field(QChar(0) + QString("=1")), "\"'=1\"") << "nor hides a formula";
}

TEST(Csv, WriterReportsAFailedWrite) {
    QBuffer closed; // never opened: every write fails
    data::csv::Writer w(closed);
    w.add({QStringLiteral("x")});
    EXPECT_FALSE(w.ok());
    EXPECT_FALSE(w.error().isEmpty());
}

TEST(Csv, AFileWithNulsAndHiddenFormulasReadsBackWithoutEither) {
    TempDir out;
    const QString file = out.file("hostile.csv");
    const QStringList texts{QString("Nul in") + QChar(0) + " the middle", " =1+2", "\r\n@SUM(A1)", "\uFF0D3",
                            "\t+4"};
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        data::csv::Writer w(f);
        for (const QString& t : texts)
            w.add({t});
        ASSERT_TRUE(w.ok());
    }
    QFile back(file);
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_FALSE(back.readAll().contains('\0'));
    QVector<QStringList> rows;
    QString why;
    if (!readCsvWithPython(file, &rows, &why)) GTEST_SKIP() << why.toStdString();
    ASSERT_EQ(rows.size(), texts.size());
    EXPECT_EQ(rows[0][0], "Nul in the middle");
    for (int i = 1; i < rows.size(); ++i)
        EXPECT_EQ(rows[i][0], "'" + texts[i]) << "defused by the apostrophe alone";
}

class CsvExport : public DataFixture {};
VARDIMO_ON_ALL_STORES(CsvExport);

TEST_P(CsvExport, GoalsReadBackByPythonEqualTheRows) {
    const int type = insertRow(dm->goalTypeTable, {{"TypeDescription", "Qualité"}});
    const int ann = addUser("ANN", "", "Ann \"the boss\" Öberg", 1);
    const QStringList texts{"Plain goal",
                            "Commas, \"quotes\" and more",
                            "Line one\nline two\r\nline three",
                            "=HYPERLINK(\"http://x\")",
                            "+1",
                            "-2",
                            "@SUM(A1:A2)",
                            " =1+2",
                            "\n=cmd|' /C calc'!A0",
                            "\uFF1D1+2",
                            "\uFF20SUM(A1)",
                            "Grüße, 日本語, emoji 🎯"};
    for (const QString& t : texts)
        addGoal(t, 2026, type, ann, ann);
    addGoal("Another year", 2025, type, {}, ann);

    TempDir out;
    const QString file = out.file("goals.csv");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_TRUE(data::csv::exportGoals(dm->goalDatabase, 2026, f));
    f.close();

    QVector<QStringList> rows;
    QString why;
    if (!readCsvWithPython(file, &rows, &why)) GTEST_SKIP() << why.toStdString();
    ASSERT_EQ(rows.size(), texts.size() + 1) << "a header and one row per goal of the year";
    EXPECT_EQ(rows[0], QStringList({"Goal ID", "Goal Year", "Goal Type", "Goal", "Goal For", "Goal Owner",
                                    "Modified By", "Modified Date"}));
    QStringList read;
    for (int i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][1], "2026");
        EXPECT_EQ(rows[i][2], "Qualité");
        EXPECT_EQ(rows[i][4], "Ann \"the boss\" Öberg");
        QString goal = rows[i][3];
        // The guard is the one change made to a value: a leading apostrophe.
        if (goal.startsWith('\'')) goal.remove(0, 1);
        read << goal;
    }
    QStringList expected = texts;
    std::sort(expected.begin(), expected.end());
    std::sort(read.begin(), read.end());
    EXPECT_EQ(read, expected);
    for (int i = 1; i < rows.size(); ++i) {
        // What a spreadsheet looks at: the value with its leading blanks and line breaks trimmed.
        const QString seen = rows[i][3].trimmed();
        EXPECT_FALSE(QString("=+-@\uFF1D\uFF0B\uFF0D\uFF20").contains(seen.front())) << seen.toStdString();
    }
}

TEST_P(CsvExport, DataSetExportFollowsTheFilterAndKeepsThePosition) {
    addGoal("B", 2026, 1, {}, 1);
    addGoal("A", 2026, 1, {}, 1);
    addGoal("C", 2024, 1, {}, 1);
    dm->setGoalFilter({.year = 2026});
    dm->goalsTable.setFiltered(true);
    dm->goalsTable.last();
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    ASSERT_TRUE(data::csv::exportDataSet(dm->goalsTable, {{"GoalDescription", "Goal"}}, buf));
    EXPECT_EQ(buf.data(), "\"Goal\"\r\n\"A\"\r\n\"B\"\r\n");
    EXPECT_EQ(dm->goalsTable.field("GoalDescription").asString(), "B") << "still on the row it was on";
}
