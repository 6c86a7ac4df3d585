#pragma once

#include "controls/Screen.h"

namespace data {
class DataModule;
}
namespace engine {
class Database;
}

class QPlainTextEdit;
class QPushButton;

namespace admin {

// Fills a text box with one line per user the database engine lists as having the database
// open: "User name: " and the name the engine reports, "Unknown" for an empty one.
void listEngineUsers(engine::Database& db, QPlainTextEdit* box);

// The users who have the database open now, as the engine lists them, built once on opening.
class LoggedInUsersWindow : public controls::Screen {
    Q_OBJECT
public:
    LoggedInUsersWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent = nullptr);

    QPlainTextEdit* userList;
    QPushButton* okButton;

    void onCreate();

private:
    data::DataModule& dm_;
};

} // namespace admin
