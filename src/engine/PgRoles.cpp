#include "engine/PgRoles.h"

#include "engine/Error.h"
#include "engine/PgBackend.h"
#include "engine/PgHistory.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QUrl>

namespace engine {

namespace {

// The server's own default for the cost of a verifier.
constexpr int kScramIterations = 4096;

// Every name below is the server's: roles are quoted with format('%I'), passwords only ever
// reach it as verifiers in bound parameters. The helper functions run with the rights of the
// database's owner (SECURITY DEFINER) so that a policy may read the user table, the profiles and
// the access lists that the user himself may not read, and so that the user table's trigger may
// manage roles; each fixes its search path so that nobody slips a function of his own in.
// Each is written so that it runs again on a database secured before: a renewal replaces what an
// earlier version made.
const char* const kInstall[] = {
    R"(DO $d$ BEGIN
         IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = current_database() || ' users') THEN
           EXECUTE format('CREATE ROLE %I NOLOGIN', current_database() || ' users');
         END IF;
         EXECUTE format('REVOKE ALL ON DATABASE %I FROM PUBLIC', current_database());
         EXECUTE format('GRANT CONNECT, TEMPORARY ON DATABASE %I TO %I', current_database(),
                        current_database() || ' users');
       END $d$)",
    R"(REVOKE CREATE ON SCHEMA public FROM PUBLIC)",
    // Folded as PgRoles::roleName folds it: every letter, not only ASCII (where the server knows
    // Unicode's case rules), and a name past the server's 63 bytes cut with a hash of the whole.
    R"(DO $d$ BEGIN
         EXECUTE format($s$CREATE OR REPLACE FUNCTION vardimo_role(p_userid text) RETURNS text LANGUAGE plpgsql STABLE
           AS $f$ DECLARE
             whole text := current_database() || '.' || upper(p_userid %s);
             cut text;
           BEGIN
             IF octet_length(whole) <= 63 THEN RETURN whole; END IF;
             cut := left(whole, 50);
             WHILE octet_length(cut) > 50 LOOP cut := left(cut, -1); END LOOP;
             RETURN cut || '~' || left(md5(whole), 12);
           END $f$$s$,
           CASE WHEN EXISTS (SELECT 1 FROM pg_collation WHERE collname = 'und-x-icu')
                THEN 'COLLATE "und-x-icu"' ELSE '' END);
       END $d$)",
    R"(CREATE OR REPLACE FUNCTION vardimo_me() RETURNS integer LANGUAGE sql STABLE SECURITY DEFINER
         SET search_path = public, pg_temp
         AS $f$ SELECT usernumber FROM "user" WHERE vardimo_role(userid) = session_user
                ORDER BY usernumber LIMIT 1 $f$)",
    // Profile 0 and a profile marked supervisor may do everything, as the owner may.
    R"(CREATE OR REPLACE FUNCTION vardimo_may(p_right text) RETURNS boolean LANGUAGE sql STABLE SECURITY DEFINER
         SET search_path = public, pg_temp
         AS $f$ SELECT session_user = (SELECT owner FROM vardimo_secure) OR coalesce((
                  SELECT u.securityid = 0 OR coalesce((to_jsonb(s) ->> 'supervisor')::integer, 0) <> 0
                         OR coalesce((to_jsonb(s) ->> lower(p_right))::integer, 0) <> 0
                    FROM "user" u LEFT JOIN security s ON s.securityid = u.securityid
                   WHERE u.usernumber = vardimo_me()), false) $f$)",
    R"(CREATE OR REPLACE FUNCTION vardimo_sees(p_owner integer) RETURNS boolean LANGUAGE sql STABLE SECURITY DEFINER
         SET search_path = public, pg_temp
         AS $f$ SELECT coalesce(p_owner = vardimo_me(), false) OR vardimo_may('canviewallstrategys')
                OR EXISTS (SELECT 1 FROM accesslist a WHERE a.usernumber = vardimo_me()
                           AND a.canseeuser = p_owner) $f$)",
    R"(CREATE OR REPLACE FUNCTION vardimo_edits(p_owner integer) RETURNS boolean LANGUAGE sql STABLE SECURITY DEFINER
         SET search_path = public, pg_temp
         AS $f$ SELECT coalesce(p_owner = vardimo_me(), false) OR vardimo_may('canviewallstrategys')
                OR EXISTS (SELECT 1 FROM accesslist a WHERE a.usernumber = vardimo_me()
                           AND a.canseeuser = p_owner AND coalesce(a.canedituser, 0) <> 0) $f$)",
    // The users whose strategies this user sees (or edits) by his access list. The policies ask
    // it once per statement, not once per row: each function below stands in a subquery there.
    R"(CREATE OR REPLACE FUNCTION vardimo_seen(p_edit boolean) RETURNS SETOF integer LANGUAGE sql STABLE SECURITY DEFINER
         SET search_path = public, pg_temp
         AS $f$ SELECT canseeuser FROM accesslist WHERE usernumber = vardimo_me() AND canseeuser IS NOT NULL
                AND (NOT p_edit OR coalesce(canedituser, 0) <> 0) $f$)",
    R"(CREATE OR REPLACE FUNCTION vardimo_make_role(p_userid text) RETURNS void LANGUAGE plpgsql SECURITY DEFINER
         SET search_path = public, pg_temp
         AS $f$ BEGIN
           IF coalesce(p_userid, '') = '' THEN RETURN; END IF;
           IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = vardimo_role(p_userid)) THEN
             RAISE EXCEPTION 'The server already has a role named %', vardimo_role(p_userid)
               USING ERRCODE = '42710';
           END IF;
           EXECUTE format('CREATE ROLE %I LOGIN IN ROLE %I', vardimo_role(p_userid),
                          (SELECT members FROM vardimo_secure));
         END $f$)",
    // The role of a user of a database secured before: kept where it has this version's name,
    // renamed where an earlier version named it (folded by the database's own rules, cut by the
    // server at 63 bytes) and nobody else holds that name, made where there is none. Only the
    // owner runs it.
    R"(CREATE OR REPLACE FUNCTION vardimo_renew_role(p_userid text) RETURNS text LANGUAGE plpgsql
         SET search_path = public, pg_temp
         AS $f$ DECLARE earlier name; BEGIN
           IF coalesce(p_userid, '') = '' THEN RETURN 'none'; END IF;
           IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = vardimo_role(p_userid)) THEN RETURN 'kept'; END IF;
           SELECT o.rolname INTO earlier FROM pg_roles o
             JOIN pg_auth_members a ON a.member = o.oid JOIN pg_roles g ON g.oid = a.roleid
            WHERE g.rolname = (SELECT members FROM vardimo_secure)
              AND o.rolname = CAST(current_database() || '.' || upper(p_userid) AS name)
              AND NOT EXISTS (SELECT 1 FROM "user" u WHERE vardimo_role(u.userid) = o.rolname);
           IF earlier IS NOT NULL THEN
             EXECUTE format('ALTER ROLE %I RENAME TO %I', earlier, vardimo_role(p_userid));
             RETURN 'renamed';
           END IF;
           PERFORM vardimo_make_role(p_userid);
           RETURN 'made';
         END $f$)",
    // A verifier is stored as it is; a password typed into a user row is turned into one by the
    // server itself, the row keeping nothing of it.
    R"(CREATE OR REPLACE FUNCTION vardimo_apply_password(p_userid text, p_password text) RETURNS void LANGUAGE plpgsql
         SECURITY DEFINER SET search_path = public, pg_temp SET password_encryption = 'scram-sha-256'
         AS $f$ BEGIN
           EXECUTE format('ALTER ROLE %I PASSWORD %L', vardimo_role(p_userid), p_password);
         END $f$)",
    R"(CREATE OR REPLACE FUNCTION vardimo_set_password(p_userid text, p_verifier text) RETURNS void LANGUAGE plpgsql
         SECURITY DEFINER SET search_path = public, pg_temp
         AS $f$ BEGIN
           IF NOT EXISTS (SELECT 1 FROM "user" WHERE vardimo_role(userid) = vardimo_role(p_userid)) THEN
             RAISE EXCEPTION 'There is no user %', p_userid USING ERRCODE = '42704';
           END IF;
           IF vardimo_role(p_userid) <> session_user AND NOT vardimo_may('canadduser') THEN
             RAISE EXCEPTION 'Only an administrator sets another user''s password' USING ERRCODE = '42501';
           END IF;
           IF p_verifier !~ '^SCRAM-SHA-256\$[0-9]+:[A-Za-z0-9+/=]+\$[A-Za-z0-9+/=]+:[A-Za-z0-9+/=]+$' THEN
             RAISE EXCEPTION 'Not a password verifier' USING ERRCODE = '22023';
           END IF;
           PERFORM vardimo_apply_password(p_userid, p_verifier);
         END $f$)",
    // The roles follow the user rows in the same transaction; nobody but an administrator
    // changes an id or a profile, and no password is kept in the table.
    R"(CREATE OR REPLACE FUNCTION vardimo_user_roles() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER
         SET search_path = public, pg_temp
         AS $f$ BEGIN
           IF TG_OP = 'DELETE' THEN
             IF NOT vardimo_may('canadduser') THEN
               RAISE EXCEPTION 'Only an administrator deletes a user' USING ERRCODE = '42501';
             END IF;
             -- His strategies go with him, also those the deleting administrator may not see.
             DELETE FROM measure WHERE strategyid IN
               (SELECT strategyid FROM strategys WHERE usernumber = OLD.usernumber);
             DELETE FROM strategys WHERE usernumber = OLD.usernumber;
             DELETE FROM accesslist WHERE usernumber = OLD.usernumber OR canseeuser = OLD.usernumber;
             IF coalesce(OLD.userid, '') <> '' THEN
               EXECUTE format('DROP ROLE IF EXISTS %I', vardimo_role(OLD.userid));
             END IF;
             RETURN OLD;
           END IF;
           IF TG_OP = 'INSERT' THEN
             PERFORM vardimo_make_role(NEW.userid);
             IF coalesce(NEW.userpassword, '') <> '' THEN
               PERFORM vardimo_apply_password(NEW.userid, NEW.userpassword);
             END IF;
             NEW.userpassword := NULL;
             RETURN NEW;
           END IF;
           IF NOT vardimo_may('canadduser') AND (NEW.usernumber IS DISTINCT FROM OLD.usernumber
               OR NEW.userid IS DISTINCT FROM OLD.userid OR NEW.securityid IS DISTINCT FROM OLD.securityid) THEN
             RAISE EXCEPTION 'Only an administrator changes a user''s id or profile' USING ERRCODE = '42501';
           END IF;
           IF vardimo_role(coalesce(NEW.userid, '')) IS DISTINCT FROM vardimo_role(coalesce(OLD.userid, '')) THEN
             IF coalesce(OLD.userid, '') = '' THEN
               PERFORM vardimo_make_role(NEW.userid);
             ELSIF coalesce(NEW.userid, '') = '' THEN
               EXECUTE format('DROP ROLE IF EXISTS %I', vardimo_role(OLD.userid));
             ELSE
               IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = vardimo_role(NEW.userid)) THEN
                 RAISE EXCEPTION 'The server already has a role named %', vardimo_role(NEW.userid)
                   USING ERRCODE = '42710';
               END IF;
               EXECUTE format('ALTER ROLE %I RENAME TO %I', vardimo_role(OLD.userid), vardimo_role(NEW.userid));
             END IF;
           END IF;
           -- A password typed for the row being saved becomes the role's, in the same statement.
           IF coalesce(NEW.userpassword, '') <> '' AND coalesce(NEW.userid, '') <> '' THEN
             PERFORM vardimo_apply_password(NEW.userid, NEW.userpassword);
           END IF;
           NEW.userpassword := NULL;
           RETURN NEW;
         END $f$)",
    // Who may delete a goal, and so bring it back with all it took.
    R"(CREATE OR REPLACE FUNCTION vardimo_removes_goal(p_goalowner integer, p_usernumber integer) RETURNS boolean
         LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp
         AS $f$ SELECT coalesce(vardimo_may('canmodifyallgoals')
                   OR (vardimo_may('canaddgoals') AND (p_goalowner = vardimo_me() OR p_usernumber = vardimo_me()
                       OR (p_usernumber IS NULL AND vardimo_may('canaddglobalgoals'))))
                   OR (SELECT rolsuper OR rolbypassrls FROM pg_roles WHERE rolname = session_user), false) $f$)",
    // A goal goes with all its strategies and their measurements or not at all, also those of
    // users whose strategies the deleting user may not change: the check is the goal's, the
    // cascade runs with the owner's rights.
    R"(CREATE OR REPLACE FUNCTION vardimo_goal_removal() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER
         SET search_path = public, pg_temp
         AS $f$ BEGIN
           IF NOT vardimo_removes_goal(OLD.goalowner, OLD.usernumber) THEN
             RAISE EXCEPTION 'You may not delete the goal "%": your profile does not let you change it.',
               OLD.goaldescription;
           END IF;
           DELETE FROM measure WHERE strategyid IN (SELECT strategyid FROM strategys WHERE goalid = OLD.goalid);
           DELETE FROM strategys WHERE goalid = OLD.goalid;
           RETURN OLD;
         END $f$)",
};

// Run after the roles of the existing users are made and their passwords moved.
const char* const kProtect[] = {
    R"(CREATE TRIGGER vardimo_user_roles BEFORE INSERT OR UPDATE OR DELETE ON "user"
         FOR EACH ROW EXECUTE FUNCTION vardimo_user_roles())",
    R"(DO $d$ DECLARE m text := (SELECT members FROM vardimo_secure); BEGIN
         EXECUTE format('REVOKE ALL ON ALL FUNCTIONS IN SCHEMA public FROM PUBLIC');
         -- The policies call these as the user himself; roles and passwords are made only
         -- through the user table's trigger and the password function, which check who asks.
         EXECUTE format('GRANT EXECUTE ON FUNCTION vardimo_role(text), vardimo_me(), vardimo_may(text),
                         vardimo_sees(integer), vardimo_edits(integer), vardimo_seen(boolean),
                         vardimo_set_password(text, text)
                         TO %I', m);
         EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON "user", security, settings, goals,
                         strategys, department, goaltype, accesslist, measure, vardimo_sessions TO %I', m);
         EXECUTE format('GRANT SELECT ON vardimo_schema, vardimo_secure, vardimo_protection TO %I', m);
         EXECUTE format('GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO %I', m);
       END $d$)",
    R"(ALTER TABLE "user" ENABLE ROW LEVEL SECURITY)",
    R"(CREATE POLICY see ON "user" FOR SELECT
         USING (usernumber = vardimo_me() OR vardimo_may('canadduser') OR vardimo_sees(usernumber)))",
    R"(CREATE POLICY add ON "user" FOR INSERT WITH CHECK (vardimo_may('canadduser')))",
    R"(CREATE POLICY change ON "user" FOR UPDATE
         USING (usernumber = vardimo_me() OR vardimo_may('canadduser'))
         WITH CHECK (usernumber = vardimo_me() OR vardimo_may('canadduser')))",
    // Refused loudly by the trigger: a policy would skip the row unseen.
    R"(CREATE POLICY remove ON "user" FOR DELETE USING (true))",
    R"(ALTER TABLE accesslist ENABLE ROW LEVEL SECURITY)",
    R"(CREATE POLICY see ON accesslist FOR SELECT
         USING (usernumber = vardimo_me() OR vardimo_may('canadduser')))",
    R"(CREATE POLICY keep ON accesslist FOR ALL USING (vardimo_may('canadduser'))
         WITH CHECK (vardimo_may('canadduser')))",
    R"(ALTER TABLE strategys ENABLE ROW LEVEL SECURITY)",
    R"(CREATE POLICY see ON strategys FOR SELECT USING ((SELECT vardimo_may('canviewallstrategys'))
         OR usernumber = (SELECT vardimo_me()) OR usernumber IN (SELECT vardimo_seen(false))))",
    R"(CREATE POLICY add ON strategys FOR INSERT WITH CHECK ((SELECT vardimo_may('canviewallstrategys'))
         OR usernumber = (SELECT vardimo_me()) OR usernumber IN (SELECT vardimo_seen(true))))",
    R"(CREATE POLICY change ON strategys FOR UPDATE
         USING ((SELECT vardimo_may('canviewallstrategys')) OR usernumber = (SELECT vardimo_me())
                OR usernumber IN (SELECT vardimo_seen(true)))
         WITH CHECK ((SELECT vardimo_may('canviewallstrategys')) OR usernumber = (SELECT vardimo_me())
                OR usernumber IN (SELECT vardimo_seen(true))))",
    R"(CREATE POLICY remove ON strategys FOR DELETE USING ((SELECT vardimo_may('canviewallstrategys'))
         OR usernumber = (SELECT vardimo_me()) OR usernumber IN (SELECT vardimo_seen(true))))",
    R"(ALTER TABLE measure ENABLE ROW LEVEL SECURITY)",
    R"(CREATE POLICY see ON measure FOR SELECT USING ((SELECT vardimo_may('canviewallstrategys'))
         OR strategyid IN (SELECT s.strategyid FROM strategys s WHERE s.usernumber = (SELECT vardimo_me())
                           OR s.usernumber IN (SELECT vardimo_seen(false)))))",
    R"(CREATE POLICY keep ON measure FOR ALL
         USING ((SELECT vardimo_may('canviewallstrategys'))
                OR strategyid IN (SELECT s.strategyid FROM strategys s WHERE s.usernumber = (SELECT vardimo_me())
                                  OR s.usernumber IN (SELECT vardimo_seen(true))))
         WITH CHECK ((SELECT vardimo_may('canviewallstrategys'))
                OR strategyid IN (SELECT s.strategyid FROM strategys s WHERE s.usernumber = (SELECT vardimo_me())
                                  OR s.usernumber IN (SELECT vardimo_seen(true)))))",
    R"(ALTER TABLE goals ENABLE ROW LEVEL SECURITY)",
    R"(CREATE POLICY see ON goals FOR SELECT USING (true))",
    R"(CREATE POLICY add ON goals FOR INSERT WITH CHECK (vardimo_may('canaddgoals')
         AND (usernumber = vardimo_me() OR vardimo_may('canaddglobalgoals') OR vardimo_may('canmodifyallgoals'))))",
    R"(CREATE POLICY change ON goals FOR UPDATE
         USING (vardimo_may('canmodifyallgoals') OR (vardimo_may('canaddgoals') AND (goalowner = vardimo_me()
                OR usernumber = vardimo_me() OR (usernumber IS NULL AND vardimo_may('canaddglobalgoals')))))
         WITH CHECK (vardimo_may('canaddgoals')))",
    // Who may delete a goal is the trigger's to say, loudly: a policy would skip the row unseen.
    R"(CREATE POLICY remove ON goals FOR DELETE USING (true))",
    R"(CREATE TRIGGER vardimo_goal_removal BEFORE DELETE ON goals
         FOR EACH ROW EXECUTE FUNCTION vardimo_goal_removal())",
};

// The tables everybody reads and only the holders of one right change.
const std::pair<const char*, const char*> kByRight[] = {
    {"security", "canviewsecurity"},
    {"settings", "canchangesystem"},
    {"department", "canadddepartments"},
    {"goaltype", "canaddgoaltype"},
};

QByteArray hmac(const QByteArray& key, const QByteArray& message) {
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha256);
}

QByteArray pbkdf2(const QByteArray& password, const QByteArray& salt, int iterations) {
    QByteArray u = hmac(password, salt + QByteArray("\0\0\0\1", 4));
    QByteArray out = u;
    for (int i = 1; i < iterations; ++i) {
        u = hmac(password, u);
        for (int j = 0; j < out.size(); ++j)
            out[j] = char(out[j] ^ u[j]);
    }
    return out;
}

} // namespace

QString PgRoles::roleName(const QString& database, const QString& userId) {
    // The server keeps 63 bytes of a name and silently drops the rest, which would make two long
    // ids one role and no logon find it; vardimo_role() cuts the same way, by code points.
    constexpr int kNameBytes = 63, kKeptBytes = 50, kHashDigits = 12;
    QString whole = database + QLatin1Char('.') + userId.toUpper();
    if (whole.toUtf8().size() <= kNameBytes) return whole;
    QList<uint> points = whole.toUcs4();
    points.resize(std::min<qsizetype>(points.size(), kKeptBytes));
    QString cut = QString::fromUcs4(reinterpret_cast<const char32_t*>(points.constData()), points.size());
    while (cut.toUtf8().size() > kKeptBytes) {
        points.removeLast();
        cut = QString::fromUcs4(reinterpret_cast<const char32_t*>(points.constData()), points.size());
    }
    const QByteArray hash = QCryptographicHash::hash(whole.toUtf8(), QCryptographicHash::Md5).toHex();
    return cut + QLatin1Char('~') + QString::fromLatin1(hash.left(kHashDigits));
}

QString PgRoles::logonUri(const QString& uri, const QString& userId, const QString& password) {
    const PgLocation loc = PgLocation::parse(uri);
    // Settings of the query come after the ones before them and replace them.
    auto item = [](const char* key, const QString& value) {
        return QLatin1String(key) + QLatin1Char('=') + QString::fromLatin1(QUrl::toPercentEncoding(value));
    };
    const QString joined = uri.contains(QLatin1Char('?')) ? QStringLiteral("&") : QStringLiteral("?");
    return uri + joined + item("user", roleName(loc.database, userId)) + QLatin1Char('&') +
           item("password", password);
}

bool PgRoles::isSecure(PgBackend& pg) {
    QSqlQuery q =
        pg.exec(QStringLiteral("SELECT to_regclass(?) IS NOT NULL"), {QStringLiteral("vardimo_secure")});
    return q.next() && q.value(0).toBool();
}

// Kept beside the test it answers with.
bool PgBackend::holdsLogons() {
    return PgRoles::isSecure(*this);
}

namespace {

QList<std::pair<QString, QString>> usersAndPasswords(PgBackend& pg) {
    QList<std::pair<QString, QString>> users;
    QSqlQuery q = pg.exec(QStringLiteral("SELECT userid, userpassword FROM \"user\" ORDER BY usernumber"));
    while (q.next())
        users.append({q.value(0).toString(), q.value(1).toString()});
    return users;
}

// The triggers, grants and policies over the functions and the roles.
void protect(PgBackend& pg) {
    for (const char* s : kProtect)
        pg.exec(QString::fromUtf8(s));
    for (const auto& [table, right] : kByRight) {
        const QString t = PgDialect::quoted(QString::fromLatin1(table));
        pg.exec(QStringLiteral("ALTER TABLE %1 ENABLE ROW LEVEL SECURITY").arg(t));
        pg.exec(QStringLiteral("CREATE POLICY see ON %1 FOR SELECT USING (true)").arg(t));
        // The right's name is one of this program's constants, never a user's text.
        pg.exec(QStringLiteral("CREATE POLICY keep ON %1 FOR ALL USING (vardimo_may('%2')) WITH CHECK "
                               "(vardimo_may('%2'))")
                    .arg(t, QLatin1String(right)));
    }
    PgHistory::secure(pg);
}

// What an earlier version left that this one makes anew: every policy of the database's tables
// (an old permissive one left standing would widen what the new ones allow), the triggers, and
// every grant to the users and to everybody.
const char* const kUnprotect[] = {
    R"(DO $d$ DECLARE p record; BEGIN
         FOR p IN SELECT policyname, tablename FROM pg_policies WHERE schemaname = current_schema() LOOP
           EXECUTE format('DROP POLICY %I ON %I', p.policyname, p.tablename);
         END LOOP;
       END $d$)",
    R"(DROP TRIGGER IF EXISTS vardimo_user_roles ON "user")",
    R"(DROP TRIGGER IF EXISTS vardimo_goal_removal ON goals)",
    R"(DO $d$ DECLARE m text := (SELECT members FROM vardimo_secure); BEGIN
         EXECUTE format('REVOKE ALL ON ALL TABLES IN SCHEMA public FROM PUBLIC, %I', m);
         EXECUTE format('REVOKE ALL ON ALL SEQUENCES IN SCHEMA public FROM PUBLIC, %I', m);
         EXECUTE format('REVOKE ALL ON ALL FUNCTIONS IN SCHEMA public FROM PUBLIC, %I', m);
       END $d$)",
};

} // namespace

QStringList PgRoles::secure(PgBackend& pg) {
    if (isSecure(pg))
        throw Error(QStringLiteral("%1 already holds its logons in the server.").arg(pg.displayName()));
    pg.exec(QStringLiteral("CREATE TABLE vardimo_secure (members text NOT NULL, owner text NOT NULL)"));
    pg.exec(
        QStringLiteral("INSERT INTO vardimo_secure VALUES (current_database() || ' users', current_user)"));
    for (const char* s : kInstall)
        pg.exec(QString::fromUtf8(s));
    QStringList withoutPassword;
    for (const auto& [id, password] : usersAndPasswords(pg)) {
        if (id.isEmpty()) continue;
        pg.exec(QStringLiteral("SELECT vardimo_make_role(?)"), {id});
        if (password.isEmpty())
            withoutPassword << id;
        else
            setPassword(pg, id, password);
    }
    pg.exec(QStringLiteral("UPDATE \"user\" SET userpassword = NULL"));
    protect(pg);
    return withoutPassword;
}

PgRoles::Renewal PgRoles::renew(PgBackend& pg) {
    if (!isSecure(pg))
        throw Error(
            QStringLiteral("%1 keeps its logons in the user table: secure it first.").arg(pg.displayName()));
    // Two administrators renewing at once would drop each other's policies: one waits.
    pg.exec(QStringLiteral("LOCK TABLE vardimo_secure IN EXCLUSIVE MODE"));
    for (const char* s : kUnprotect)
        pg.exec(QString::fromUtf8(s));
    for (const char* s : kInstall)
        pg.exec(QString::fromUtf8(s));
    Renewal done;
    for (const auto& [id, password] : usersAndPasswords(pg)) {
        QSqlQuery q = pg.exec(QStringLiteral("SELECT vardimo_renew_role(?)"), {id});
        const QString what = q.next() ? q.value(0).toString() : QString();
        if (what == QLatin1String("renamed")) {
            done.renamed << id;
        } else if (what == QLatin1String("made")) {
            // A password the row still holds (written while no trigger took it) becomes the new
            // role's; a role that was there keeps its own.
            if (password.isEmpty())
                done.withoutPassword << id;
            else
                setPassword(pg, id, password);
            done.made << id;
        }
    }
    pg.exec(QStringLiteral("UPDATE \"user\" SET userpassword = NULL WHERE userpassword IS NOT NULL"));
    protect(pg);
    return done;
}

void PgRoles::setPassword(PgBackend& pg, const QString& userId, const QString& password) {
    if (password.isEmpty())
        throw Error(QStringLiteral("The server keeps no empty password: give %1 a password.").arg(userId));
    pg.exec(QStringLiteral("SELECT vardimo_set_password(?, ?)"), {userId, scramVerifier(password)});
}

QString PgRoles::scramVerifier(const QString& password) {
    QByteArray salt(16, '\0');
    for (char& c : salt)
        c = char(QRandomGenerator::system()->bounded(256));
    return scramVerifier(password, salt, kScramIterations);
}

QString PgRoles::scramVerifier(const QString& password, const QByteArray& salt, int iterations) {
    // The server prepares a password the way SASLprep does; for the texts people type that is
    // their compatibility form.
    const QByteArray salted =
        pbkdf2(password.normalized(QString::NormalizationForm_KC).toUtf8(), salt, iterations);
    const QByteArray storedKey =
        QCryptographicHash::hash(hmac(salted, QByteArrayLiteral("Client Key")), QCryptographicHash::Sha256);
    const QByteArray serverKey = hmac(salted, QByteArrayLiteral("Server Key"));
    return QStringLiteral("SCRAM-SHA-256$%1:%2$%3:%4")
        .arg(iterations)
        .arg(QString::fromLatin1(salt.toBase64()), QString::fromLatin1(storedKey.toBase64()),
             QString::fromLatin1(serverKey.toBase64()));
}

} // namespace engine
