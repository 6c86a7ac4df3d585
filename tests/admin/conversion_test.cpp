// The system settings screen and the measurement conversions: the texts they build, that each
// runs whole or not at all, and a conversion killed part-way in a real process.

#include "admin/MeasureConversion.h"
#include "admin/SystemSettingsDialog.h"
#include "controls/DataGrid.h"
#include "controls/DatePicker.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/RadioGroup.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "support/DataFixture.h"
#include "support/Peer.h"
#include "support/Seed.h"

#include <QDate>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

using testing_support::DataFixture;
using testing_support::Peer;

namespace {
const QString CR = QString(QChar(13));

// Every row of a table, as text, in key order: what a person could tell apart.
QStringList dump(data::DataModule& dm, const char* file, const char* key) {
    engine::Query q(dm.goalDatabase);
    q.add(QString("Select * From \"%1\" Order By %2").arg(file, key));
    q.open();
    QStringList out;
    for (q.first(); !q.eof(); q.next()) {
        QStringList fields;
        for (const QString& f : q.fieldNames())
            fields << (q.field(f).isNull() ? "<null>" : q.field(f).asString());
        out << fields.join('|');
    }
    return out;
}
} // namespace

class Conversion : public DataFixture {
protected:
    void SetUp() override {
        DataFixture::SetUp();
        // Who converts every strategy may see every strategy: where the server holds the rights,
        // nobody else may convert.
        staff = addProfile("Staff", {"CanChangeSystem", "CanViewAllStrategys"});
        me = addUser("me", "", "Mary Me", staff);
        other = addUser("other", "", "Otto Other", staff);
        goal = addGoal("Grow", 2024, 1, QVariant(), me);
        ASSERT_TRUE(logOnAs("me"));
    }
    int strategy(int user, QVariant deliverable, QVariant measurement) {
        return insertRow(dm->strategyTable, {{"GoalID", goal},
                                             {"UserNumber", user},
                                             {"StrategyNumber", 1},
                                             {"Deliverable", deliverable},
                                             {"Measurement", measurement}});
    }
    void measure(int s, int number, QVariant deliverable, QVariant measurement, QVariant date = {},
                 bool done = false) {
        insertRow(dm->measureTable, {{"StrategyID", s},
                                     {"MeasurementNumber", number},
                                     {"Deliverable", deliverable},
                                     {"Measurement", measurement},
                                     {"CompleationDate", date},
                                     {"Compleated", done}});
    }
    void setMultiple(QVariant on) {
        dm->settingsTable.edit();
        dm->settingsTable.field("MultipulMeasure").setValue(on);
        dm->settingsTable.post();
    }
    int staff = 0, me = 0, other = 0, goal = 0;
};
VARDIMO_ON_ALL_STORES(Conversion);
using FolderConversion = testing_support::OnFolder<Conversion>;

TEST_P(Conversion, WhereTheServerHoldsTheRightsOnlyAUserWhoSeesEveryStrategyConverts) {
    strategy(other, "D", "M");
    addUser("clerk", "", "Cleo Clerk", addProfile("Clerks", {"CanChangeSystem"}));
    ASSERT_TRUE(logOnAs("clerk"));
    {
        admin::SystemSettingsDialog form(*dm, desktop);
        form.multipleMeasurementsBox->click();
        form.convertButton->click();
        form.closeButton->click();
    }
    const QStringList items = dump(ownerModule(), "Measure.db", "MeasurementID");
    if (!store.secure()) {
        EXPECT_EQ(items.size(), 1) << "the program converts every strategy for whoever may change the system";
        return;
    }
    EXPECT_TRUE(
        dialogs.lastText().startsWith("The server shows you only the strategies of the users you may see"))
        << dialogs.lastText().toStdString();
    EXPECT_TRUE(items.isEmpty()) << "nothing was converted";
}

TEST_P(Conversion, ToSingleBuildsTheTextsFromTheItemsInNumberOrder) {
    const int s = strategy(me, "old d", "old m");
    const int bare = strategy(other, "keep?", "keep?");
    measure(s, 2, "Second", QVariant());
    measure(s, 1, "First", "Count", QDate(2024, 3, 15), true);
    measure(s, 3, QVariant(), "Third", QDate(2024, 4, 1), false);
    EXPECT_EQ(admin::buildMeasurementText(*dm, s), "1#. Count" + CR + "2#. " + CR + "3#. Third" + CR);
    EXPECT_EQ(admin::buildDeliverableText(*dm, s),
              "1#. First" + CR + "Compleation Date: 03/15/2024 Compleated" + CR + "2#. Second" + CR + CR +
                  "3#. " + CR + "Compleation Date: 04/01/2024" + CR);
    EXPECT_EQ(admin::buildMeasurementText(*dm, bare), "");

    std::vector<int> seen;
    admin::convertToSingleMeasure(*dm, [&](int r) {
        if (r != admin::kStoringConversion) seen.push_back(r);
    });
    EXPECT_EQ(seen, std::vector<int>({0, 1, 0})) << "positions from 0, then back to 0";
    ASSERT_TRUE(dm->strategyTable.locate("StrategyID", s));
    EXPECT_EQ(dm->strategyTable.field("Measurement").asString(),
              "1#. Count" + CR + "2#. " + CR + "3#. Third" + CR);
    EXPECT_TRUE(dm->strategyTable.field("Deliverable").asString().startsWith("1#. First" + CR));
    EXPECT_EQ(dm->strategyTable.field("ModifiedBy").asInt(), me) << "the strategy's change stamp applies";
    ASSERT_TRUE(dm->strategyTable.locate("StrategyID", bare));
    EXPECT_EQ(dm->strategyTable.field("Measurement").asString(), "") << "no items give empty texts";
    EXPECT_EQ(dm->strategyTable.field("Deliverable").asString(), "");
    EXPECT_TRUE(dump(*dm, "Measure.db", "MeasurementID").isEmpty());
}

// The conversion reads every item in one pass alongside the strategies: each strategy must still
// get exactly its own items, whatever lies between them, including items left without a strategy.
TEST_P(Conversion, ToSingleGivesEveryStrategyExactlyItsOwnItems) {
    const int a = strategy(me, "a", "a");
    const int empty = strategy(me, "e", "e");
    const int b = strategy(other, "b", "b");
    const int c = strategy(me, "c", "c");
    const int gone = strategy(me, "gone", "gone");
    measure(c, 2, "c2", "C2", QDate(2024, 5, 2), true);
    measure(a, 1, "a1", "A1");
    measure(gone, 1, "orphan", "ORPHAN");
    measure(b, 1, "b1", QVariant(), QVariant(), true);
    measure(c, 1, "c1", "C1");
    measure(a, 2, QVariant(), "A2", QDate(2024, 1, 31));
    measure(0, 1, "before every strategy", "X");
    ASSERT_TRUE(dm->strategyTable.locate("StrategyID", gone));
    dm->strategyTable.remove();

    QHash<int, std::pair<QString, QString>> expected;
    for (int s : {a, empty, b, c})
        expected[s] = {admin::buildMeasurementText(*dm, s), admin::buildDeliverableText(*dm, s)};
    ASSERT_EQ(expected[a].first, "1#. A1" + CR + "2#. A2" + CR);
    ASSERT_EQ(expected[b].second, "1#. b1" + CR + " Compleated" + CR);

    admin::convertToSingleMeasure(*dm, [](int) {});
    for (int s : {a, empty, b, c}) {
        ASSERT_TRUE(dm->strategyTable.locate("StrategyID", s));
        EXPECT_EQ(dm->strategyTable.field("Measurement").asString(), expected[s].first) << s;
        EXPECT_EQ(dm->strategyTable.field("Deliverable").asString(), expected[s].second) << s;
    }
    EXPECT_TRUE(dump(*dm, "Measure.db", "MeasurementID").isEmpty());
}

TEST_P(Conversion, ToMultipleGivesEachStrategyOneItemAndReplacesTheOthers) {
    const int a = strategy(me, "Deliver A", "Measure A");
    const int b = strategy(other, QVariant(), QVariant());
    measure(a, 1, "x", "x");
    measure(a, 2, "y", "y");
    measure(12345, 1, "orphan", "orphan");
    std::vector<int> seen;
    admin::convertToMultipleMeasures(*dm, [&](int r) {
        if (r != admin::kStoringConversion) seen.push_back(r);
    });
    EXPECT_EQ(seen, std::vector<int>({1, 2, 0})) << "counting from 1, then back to 0";
    engine::Query q(dm->goalDatabase);
    q.add("Select * From \"Measure.db\" Order By StrategyID");
    q.open();
    ASSERT_EQ(q.recordCount(), 2);
    EXPECT_EQ(q.field("StrategyID").asInteger(), a);
    EXPECT_EQ(q.field("MeasurementNumber").asInteger(), 1);
    EXPECT_EQ(q.field("Deliverable").asString(), "Deliver A");
    EXPECT_EQ(q.field("Measurement").asString(), "Measure A");
    EXPECT_FALSE(q.field("Compleated").isNull());
    EXPECT_FALSE(q.field("Compleated").asBoolean());
    EXPECT_TRUE(q.field("CompleationDate").isNull());
    EXPECT_EQ(q.field("ModifiedBy").asInteger(), me);
    const QDate today = QDate::currentDate();
    EXPECT_EQ(q.field("ModifiedDate").asDateTime().date(), today) << "stamped as a post is";
    q.next();
    EXPECT_EQ(q.field("StrategyID").asInteger(), b);
    EXPECT_EQ(q.field("Deliverable").asString(), "");
    EXPECT_EQ(q.field("MeasurementNumber").asInteger(), 1);
    EXPECT_EQ(q.field("ModifiedBy").asInteger(), me) << "whoever wrote the strategy";
    EXPECT_EQ(q.field("ModifiedDate").asDateTime().date(), today);

    // The items table object, left on an item that is gone, shows the new ones.
    engine::Table& items = dm->measureTable;
    ASSERT_TRUE(items.isOpen());
    items.first();
    EXPECT_EQ(items.recordCount(), 2);
    EXPECT_EQ(items.field("StrategyID").asInteger(), a);
    EXPECT_EQ(items.field("Measurement").asString(), "Measure A");
    admin::convertToSingleMeasure(*dm, [](int) {});
    EXPECT_TRUE(items.isEmpty());
}

TEST_P(Conversion, TheScreenConvertsAsTheBoxSaysAndStoresTheSettingWithTheData) {
    strategy(me, "D", "M");
    strategy(other, "D2", "M2");
    dm->setStrategySelection({goal, me});
    dm->strategyTable.setFiltered(true); // the strategies screen leaves it on
    ASSERT_EQ(dm->strategyTable.recordCount(), 1);
    setMultiple(false);
    {
        admin::SystemSettingsDialog form(*dm, desktop);
        EXPECT_EQ(form.windowTitle(), "System Settings");
        EXPECT_EQ(form.recordCountLabel->text(), "2") << "every strategy of every user";
        EXPECT_EQ(form.recordLabel->text(), "0");
        EXPECT_EQ(form.convertButton->text(), "Convert");
        form.multipleMeasurementsBox->click();
        form.convertButton->click();
        EXPECT_TRUE(dialogs.messages.empty()) << "no items to replace, so no question";
        EXPECT_EQ(dump(*dm, "Measure.db", "MeasurementID").size(), 2);
        EXPECT_EQ(form.recordLabel->text(), "0");
        form.firstTitleEdit->setFocus();
        QTest::keyClicks(form.firstTitleEdit, "Unsaved title");
        form.closeButton->click();
    }
    EXPECT_FALSE(dm->settingsTable.isEditing()) << "Close drops the edits";
    engine::Query q(dm->goalDatabase);
    q.add("Select * From \"Settings.db\"");
    q.open();
    EXPECT_TRUE(q.field("MultipulMeasure").asBoolean()) << "the setting is stored with the converted data";
    EXPECT_TRUE(q.field("ReportTitle1").isNull());
    q.close();

    // Converting to multiple again names the items it would replace, to single what it would
    // overwrite and delete; No keeps them.
    {
        admin::SystemSettingsDialog form(*dm, desktop);
        ASSERT_TRUE(form.multipleMeasurementsBox->isChecked());
        dialogs.answers = {controls::Answer::No};
        form.convertButton->click();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(
            dialogs.lastText(),
            "Are you sure you want to replace the 2 existing measurement items by one item per strategy?");
        form.multipleMeasurementsBox->click(); // to single
        dialogs.answers = {controls::Answer::No};
        form.convertButton->click();
        ASSERT_EQ(dialogs.messages.size(), 2u);
        EXPECT_EQ(dialogs.lastText(),
                  "Are you sure you want to replace the deliverable and measurement texts of "
                  "the 2 strategies by texts built from their measurement items, and delete "
                  "the 2 measurement items?");
        EXPECT_EQ(dialogs.messages.back().buttons, controls::Buttons::YesNo);
        EXPECT_EQ(dump(*dm, "Measure.db", "MeasurementID").size(), 2) << "No keeps them";
        form.convertButton->click(); // Yes
        EXPECT_TRUE(dump(*dm, "Measure.db", "MeasurementID").isEmpty());
        q.open();
        EXPECT_FALSE(q.field("MultipulMeasure").asBoolean());
        q.close();

        // The setting does not change apart from the data.
        form.multipleMeasurementsBox->click();
        form.okButton->click();
        EXPECT_NE(form.result(), QDialog::Accepted);
        EXPECT_TRUE(
            dialogs.lastText().startsWith("\"Multiple Measurements\" was changed, but the measurements "
                                          "were not converted."))
            << dialogs.lastText().toStdString();
        form.multipleMeasurementsBox->click();
        form.noGoalYearsBox->click();
        form.okButton->click();
        EXPECT_EQ(form.result(), QDialog::Accepted);
    }
    q.open();
    EXPECT_TRUE(q.field("NoGoalYear").asBoolean()) << "OK stores the row";
    EXPECT_FALSE(q.field("MultipulMeasure").asBoolean());
}

TEST_P(Conversion, NothingHappensWithoutTheSettingAndThePictureIsChosenWithItsFullName) {
    strategy(me, "D", "M");
    dm->settingsTable.edit();
    dm->settingsTable.field("MultipulMeasure").clear();
    dm->settingsTable.post();
    admin::SystemSettingsDialog form(*dm, desktop);
    form.convertButton->click();
    EXPECT_TRUE(dump(*dm, "Measure.db", "MeasurementID").isEmpty());
    EXPECT_EQ(dump(*dm, "Strategys.db", "StrategyID").first().count("|D|M|"), 1);

    dialogs.picture = QString();
    form.chooseBitmapButton->click();
    EXPECT_FALSE(dm->settingsTable.isEditing()) << "a cancelled choice changes nothing";
    dialogs.picture = dir.path() + "/./logo.png";
    form.chooseBitmapButton->click();
    EXPECT_EQ(dm->settingsTable.field("ReportBitMap").asString(), dir.path() + "/logo.png");
    EXPECT_EQ(form.reportBitmapEdit->text(), dir.path() + "/logo.png");
}

TEST_P(Conversion, AFailurePartWayLeavesTheDatabaseAsItWas) {
    for (int i = 0; i < 6; ++i) {
        const int s = strategy(i % 2 ? me : other, QString("d%1").arg(i), QString("m%1").arg(i));
        measure(s, 1, "item d", "item m", QDate(2024, 1, 2), true);
    }
    const QStringList strategies = dump(*dm, "Strategys.db", "StrategyID");
    const QStringList measures = dump(*dm, "Measure.db", "MeasurementID");
    // Another workstation is changing the fourth strategy (Mary Me's second: numbers are taken as
    // each row is stored).
    Peer peer(store.location());
    ASSERT_EQ(peer.send("edit Strategys.db StrategyID 4 Responsibility theirs"), "ok");
    setMultiple(true);
    admin::SystemSettingsDialog form(*dm, desktop);
    form.multipleMeasurementsBox->click(); // to single
    form.convertButton->click();
    EXPECT_EQ(dialogs.lastText(),
              "The conversion was stopped and nothing was changed: every strategy and measurement item is as "
              "it was, and so is the \"Multiple Measurements\" setting.\n\n"
              "Strategy 2 of Mary Me under the goal \"Grow\" is being edited at another workstation (Record "
              "locked by another user.). Try again once it has been saved or closed there.");
    EXPECT_EQ(form.recordLabel->text(), "0") << "the count does not stay where it stopped";
    engine::Query setting(dm->goalDatabase);
    setting.add("Select MultipulMeasure From \"Settings.db\"");
    setting.open();
    EXPECT_TRUE(setting.field("MultipulMeasure").asBoolean()) << "the setting stays with the data";
    setting.close();
    EXPECT_EQ(dump(*dm, "Strategys.db", "StrategyID"), strategies) << "no strategy was rewritten";
    EXPECT_EQ(dump(*dm, "Measure.db", "MeasurementID"), measures) << "no item was lost";
    EXPECT_FALSE(dm->strategyTable.isEditing());
    EXPECT_EQ(dm->strategyTable.recordCount(), 6);
    EXPECT_EQ(dm->measureTable.isOpen(), true);
    ASSERT_EQ(peer.send("cancel Strategys.db"), "ok");
    form.convertButton->click();
    EXPECT_TRUE(dump(*dm, "Measure.db", "MeasurementID").isEmpty()) << "and runs once the row is free";
}

// Cancel stops either conversion part-way and leaves every strategy, item and the setting as it
// was; from the screen, by the progress window's Cancel button or by Escape.
TEST_P(Conversion, ACancelledConversionChangesNothing) {
    for (int i = 0; i < 5; ++i) {
        const int s = strategy(i % 2 ? me : other, QString("d%1").arg(i), QString("m%1").arg(i));
        for (int n = 1; n <= i % 3; ++n)
            measure(s, n, QString("item %1.%2").arg(i).arg(n), "count", QDate(2024, 5, n), n == 2);
    }
    setMultiple(true);
    const QStringList strategies = dump(*dm, "Strategys.db", "StrategyID");
    const QStringList measures = dump(*dm, "Measure.db", "MeasurementID");
    auto unchanged = [&](const char* what) {
        EXPECT_EQ(dump(*dm, "Strategys.db", "StrategyID"), strategies) << what;
        EXPECT_EQ(dump(*dm, "Measure.db", "MeasurementID"), measures) << what;
        EXPECT_TRUE(admin::storedMultipleMeasurements(*dm).toBool()) << what;
    };
    auto cancelAt3 = [](int record) {
        if (record == 3) throw admin::ConversionCancelled();
    };
    EXPECT_THROW(admin::convertToSingleMeasure(*dm, cancelAt3), admin::ConversionCancelled);
    unchanged("to single");
    EXPECT_THROW(admin::convertToMultipleMeasures(*dm, cancelAt3), admin::ConversionCancelled);
    unchanged("to multiple");

    admin::SystemSettingsDialog form(*dm, desktop);
    form.show();
    QTimer::singleShot(0, &form, [&] {
        ASSERT_TRUE(form.progressWindow && form.progressWindow->isVisible());
        EXPECT_EQ(form.progressWindow->windowTitle(), "Converting Measurements");
        QTest::mouseClick(form.cancelConversionButton, Qt::LeftButton);
    });
    form.multipleMeasurementsBox->click(); // to single
    form.convertButton->click();
    EXPECT_EQ(form.progressWindow, nullptr) << "the progress window goes when the conversion ends";
    EXPECT_EQ(form.recordLabel->text(), "0");
    EXPECT_EQ(dialogs.messages.size(), 1u) << "only the question before, nothing after a Cancel";
    unchanged("Cancel");
    QTimer::singleShot(0, &form, [&] {
        QTest::keyClick(form.progressWindow, Qt::Key_Escape);
        EXPECT_TRUE(form.progressWindow->isVisible()) << "where it was, until the conversion has stopped";
    });
    form.convertButton->click();
    unchanged("Escape");
    form.convertButton->click();
    EXPECT_TRUE(dump(*dm, "Measure.db", "MeasurementID").isEmpty()) << "and runs when not cancelled";
}

// Another workstation reads the strategies, as they were, while a conversion that has rewritten
// more of them than a page cache holds waits for its commit.
TEST_F(FolderConversion, OthersReadTheOldRowsUntilTheConversionCommits) {
    const QString text = QString(200, 'x');
    {
        engine::BatchScope batch(dm->goalDatabase);
        for (int i = 0; i < 3000; ++i) {
            const int s = strategy(me, text + QString::number(i), text);
            measure(s, 1, "item", "count");
        }
        batch.commit();
    }
    Peer peer(store.location());
    QString seen;
    admin::convertToSingleMeasure(*dm, [&](int record) {
        if (record == 2500) seen = peer.send("values Strategys.db Measurement");
    });
    EXPECT_EQ(seen, "ok " + text) << "the old rows, at once";
    EXPECT_TRUE(peer.send("values Strategys.db Measurement").startsWith("ok 1#. count"))
        << "and the new after the commit";
}

// The conversion run by another process that is killed with kill -9: every file passes the
// integrity check and holds either the old data or the fully converted data.
TEST_F(FolderConversion, AConversionKilledPartWayLeavesOldOrConvertedData) {
    for (int i = 0; i < 120; ++i) {
        const int s =
            strategy(i % 2 ? me : other, QString("deliver %1").arg(i), QString("measure %1").arg(i));
        for (int n = 1; n <= i % 3; ++n)
            measure(s, n, QString("item %1.%2").arg(i).arg(n), QString("count %1").arg(n), QDate(2024, 5, n));
    }
    auto integrity = [&] {
        for (const engine::TableDef& def : engine::tables()) {
            dm->goalDatabase.attach(def);
            QSqlQuery q = dm->goalDatabase.exec(QString("PRAGMA \"%1\".integrity_check").arg(def.schemaName));
            ASSERT_TRUE(q.next());
            EXPECT_EQ(q.value(0).toString(), "ok") << def.fileName.toStdString();
        }
    };
    const QStringList oldStrategies = dump(*dm, "Strategys.db", "StrategyID");
    const QStringList oldMeasures = dump(*dm, "Measure.db", "MeasurementID");

    for (const char* to : {"multiple", "single"}) {
        Peer peer(store.location());
        ASSERT_EQ(peer.send(QString("convert %1 60").arg(to)), "ok paused 60") << to;
        peer.kill();
        integrity();
        EXPECT_EQ(dump(*dm, "Strategys.db", "StrategyID"), oldStrategies) << to;
        EXPECT_EQ(dump(*dm, "Measure.db", "MeasurementID"), oldMeasures) << to;
    }

    // Killed at a random moment: before, during or after its commit.
    QRandomGenerator rng(testing_support::testSeed());
    for (int round = 0; round < 4; ++round) {
        const QStringList beforeStrategies = dump(*dm, "Strategys.db", "StrategyID");
        const QStringList beforeMeasures = dump(*dm, "Measure.db", "MeasurementID");
        {
            Peer peer(store.location());
            ASSERT_EQ(peer.send("convert multiple"), "ok converting");
            QThread::msleep(rng.bounded(400));
            peer.kill();
        }
        integrity();
        EXPECT_EQ(dump(*dm, "Strategys.db", "StrategyID"), beforeStrategies) << "strategies never change";
        const QStringList measures = dump(*dm, "Measure.db", "MeasurementID");
        if (measures == beforeMeasures) continue; // not converted at all
        // Fully converted: one item numbered 1 per strategy, with its texts.
        engine::Query q(dm->goalDatabase);
        q.add("Select * From \"Measure.db\" Order By StrategyID");
        q.open();
        ASSERT_EQ(q.recordCount(), 120) << "round " << round;
        engine::Query s(dm->goalDatabase);
        s.add("Select * From \"Strategys.db\" Order By StrategyID");
        s.open();
        for (q.first(), s.first(); !q.eof(); q.next(), s.next()) {
            EXPECT_EQ(q.field("StrategyID").asInteger(), s.field("StrategyID").asInteger());
            EXPECT_EQ(q.field("MeasurementNumber").asInteger(), 1);
            EXPECT_EQ(q.field("Deliverable").asString(), s.field("Deliverable").asString());
        }
    }
}
