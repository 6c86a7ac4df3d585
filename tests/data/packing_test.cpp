// Packing the database and the information window.

#include "admin/InformationWindow.h"
#include "controls/DataGrid.h"
#include "controls/DatePicker.h"
#include "controls/FieldCheckBox.h"
#include "controls/FieldEdit.h"
#include "controls/FieldMemo.h"
#include "controls/LookupComboBox.h"
#include "controls/RadioGroup.h"
#include "controls/SpinBox.h"
#include "controls/UpDown.h"
#include "data/Packing.h"
#include "support/DataFixture.h"
#include "support/Peer.h"

#include "engine/Error.h"
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

using testing_support::DataFixture;

namespace {
struct Recorder : data::PackProgress {
    explicit Recorder(const controls::Desktop& d) : desktop(d) {}
    QStringList texts;
    const controls::Desktop& desktop;
    void setStatus(const QString& t) override { texts << t; }
    // As the main window's progress window asks: through the desktop's dialogs.
    bool retry(const QString& question, const QString& title) override {
        return desktop.messageBox(question, controls::Icon::Stop, controls::Buttons::OkCancel, title) ==
               controls::Answer::Ok;
    }
};
} // namespace

class Packing : public DataFixture {
protected:
    void addGoals(int n) {
        for (int i = 0; i < n; ++i) {
            dm->goalsTable.insert();
            dm->goalsTable.field("GoalDescription")
                .setValue(QString("Goal %1 %2").arg(i).arg(QString(100, 'g')));
            dm->goalsTable.post();
        }
    }
};
VARDIMO_ON_ALL_STORES(Packing);

TEST_P(Packing, PacksEveryTableInOrderAndReopensThem) {
    addGoals(200);
    for (int i = 0; i < 150; ++i) {
        dm->goalsTable.first();
        dm->goalsTable.remove();
    }
    const qint64 before = data::tableFileSize(*dm, "goals.db");
    dm->visibleUsersTable.setFiltered(true);
    Recorder progress(desktop);
    data::packDatabase(*dm, progress);
    EXPECT_EQ(
        progress.texts,
        QStringList({"Packing Security Table", "Packing User Table", "Packing Settings Table",
                     "Packing Goals Table", "Packing Strategys Table", "Packing Department Table",
                     "Packing Goal Type Table", "Packing Access List Table", "Packing Measurement Table"}));
    for (engine::Table* t : dm->tablesInOpenOrder()) {
        EXPECT_TRUE(t->isOpen()) << t->tableName().toStdString();
        EXPECT_FALSE(t->exclusive()) << t->tableName().toStdString();
    }
    EXPECT_TRUE(dm->visibleUsersTable.filtered()) << "filters keep their switch";
    EXPECT_LT(data::tableFileSize(*dm, "GOALS.DB"), before);
    EXPECT_EQ(dm->goalsTable.recordCount(), 50);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_P(Packing, AnotherWorkstationMakesItAskBeforePacking) {
    session->setNetDir(QCoreApplication::applicationDirPath());
    addGoals(10);
    testing_support::Peer peer(store.location());
    ASSERT_EQ(peer.send("open goals.db"), "ok");
    int questions = 0;
    dialogs.onMessage = [&](const controls::ScriptedDialogs::Shown& m) {
        ++questions;
        EXPECT_EQ(m.text, "Could not open Table1 exclusively - Try again?");
        EXPECT_EQ(m.title, "Open Error");
        EXPECT_EQ(m.buttons, controls::Buttons::OkCancel);
        EXPECT_EQ(m.icon, controls::Icon::Stop);
        if (questions == 2) peer.send("close goals.db"); // the other workstation quits; OK then goes on
    };
    dialogs.answers = {controls::Answer::Ok, controls::Answer::Ok};
    Recorder progress(desktop);
    data::packDatabase(*dm, progress);
    EXPECT_EQ(questions, 2);
    EXPECT_EQ(progress.texts.size(), 9);
    EXPECT_EQ(dm->goalsTable.recordCount(), 10);

    // Cancel: packing ends at that table with the engine's error; every table is open again.
    ASSERT_EQ(peer.send("open Strategys.db"), "ok");
    dialogs.onMessage = {};
    dialogs.answers = {controls::Answer::Cancel};
    Recorder second(desktop);
    EXPECT_THROW(data::packDatabase(*dm, second), engine::Error);
    EXPECT_EQ(second.texts.last(), "Packing Strategys Table");
    for (engine::Table* t : dm->tablesInOpenOrder()) {
        EXPECT_TRUE(t->isOpen()) << t->tableName().toStdString();
        EXPECT_FALSE(t->exclusive()) << t->tableName().toStdString();
    }
}

TEST_P(Packing, InformationWindowShowsCountsAndSizes) {
    addGoals(3);
    admin::InformationWindow form(*dm, desktop);
    EXPECT_EQ(form.windowTitle(), "Database Information");
    EXPECT_EQ(form.goalsNumber->text(), "Searching");
    EXPECT_EQ(form.goalTypeSpace->text(), "Searching");
    EXPECT_FALSE(form.helpButton->isVisibleTo(&form));
    form.onActivate();
    EXPECT_EQ(form.goalsNumber->text(), "3");
    EXPECT_EQ(form.strategyNumber->text(), "0");
    // The folder store's size is the table file's; the server's is its own measure of the table.
    const qint64 goalsSize =
        onServer() ? data::tableFileSize(*dm, "goals.db") : QFile(dir.file("goals.db")).size();
    EXPECT_GT(goalsSize, 0);
    EXPECT_EQ(form.goalsSpace->text(), admin::InformationWindow::sizeText(goalsSize));
    EXPECT_EQ(admin::InformationWindow::countText(1234), "1,234");
    EXPECT_EQ(admin::InformationWindow::sizeText(2048), "2 K Bytes");
    EXPECT_EQ(admin::InformationWindow::sizeText(12345), "12 K Bytes");
    EXPECT_EQ(admin::InformationWindow::sizeText(999999), "1,000 K Bytes");
    EXPECT_EQ(data::tableFileSize(*dm, "nothing.db"), 0);
}
