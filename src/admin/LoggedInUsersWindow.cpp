#include "admin/LoggedInUsersWindow.h"

#include "controls/ErrorHandler.h"
#include "data/CurrentUser.h"
#include "data/DataModule.h"
#include "data/Logon.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace admin {

namespace {
const QString kPrefix = QStringLiteral("User name: ");
}

void listEngineUsers(engine::Database& db, QPlainTextEdit* box) {
    box->clear();
    if (!db.session().version()) return;
    // The engine's names are listed whole: a name cut short could no longer be matched with
    // the user id it is.
    QStringList lines;
    for (const QString& name : db.sessions())
        lines << kPrefix + (name.isEmpty() ? QStringLiteral("Unknown") : name);
    box->setPlainText(lines.join(QLatin1Char('\n')));
}

LoggedInUsersWindow::LoggedInUsersWindow(data::DataModule& dm, controls::Desktop& desktop, QWidget* parent)
    : controls::Screen(desktop, parent), dm_(dm) {
    setWindowTitle(QStringLiteral("Logged In Users"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* lay = new QVBoxLayout(this);
    userList = new QPlainTextEdit(this);
    userList->setReadOnly(true);
    userList->setLineWrapMode(QPlainTextEdit::NoWrap);
    userList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    lay->addWidget(userList, 1);
    auto* buttons = new QHBoxLayout;
    okButton = controls::button(QStringLiteral("OK"), this);
    okButton->setDefault(true);
    helpButton->hide();
    buttons->addStretch();
    buttons->addWidget(okButton);
    lay->addLayout(buttons);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    controls::guarded(this, [this] { onCreate(); });
    resize(360, 280);
}

void LoggedInUsersWindow::onCreate() {
    listEngineUsers(dm_.goalDatabase, userList);
    QStringList lines = userList->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& line : lines) {
        const data::UserRecord user = data::readUser(dm_, line.mid(kPrefix.size()));
        if (!user.name.isEmpty()) line = user.id + QStringLiteral(" (") + user.name + QStringLiteral(")");
    }
    userList->setPlainText(lines.join(QLatin1Char('\n')));
}

} // namespace admin
