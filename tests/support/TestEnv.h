#pragma once
// A fresh world for one test: its own working folder, settings file and
// database, seams in test mode, and helpers to read what was written.
//
// The database is an embedded file unless CGSYS_TEST_BACKEND=postgresql: then
// each TestEnv creates a database of its own on the PostgreSQL test cluster
// named by CGSYS_PG_HOST, CGSYS_PG_PORT, CGSYS_PG_USER and CGSYS_PG_PASSWORD
// (./test starts one) and drops it again at the end.

#include "ui/Seams.h"
#include "data/Context.h"
#include "data/SqlDialect.h"

#include <QSqlRecord>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>
#include <memory>

namespace cgtest {

// The clock every test starts with.
inline const QDateTime kFixedNow(QDate(2035, 5, 20), QTime(9, 30, 15));

class TestEnv {
public:
    // The backend every TestEnv of this run works on.
    static cg::Backend backend();
    static bool onPostgreSql() { return backend() == cg::Backend::PostgreSql; }

    // connect: open the database (created with its tables, admin and this
    // year's account set) as the main connection. Without, the database is
    // there but empty (a server database) or not yet created (a file).
    explicit TestEnv(bool connect = true);
    ~TestEnv();

    cg::AppContext &ctx() { return *m_ctx; }
    cg::DbConnection &db() { return m_ctx->db(); }
    QString folder() const { return m_dir.path(); }
    QString workFolder() const { return m_ctx->workFolder(); }
    // The embedded database file (embedded backend only).
    QString dbPath() const;
    // Server address, database, login and password of this test's database,
    // as the connection window and a second workstation take them.
    QStringList connectionValues() const;
    // Opens another connection (a second workstation) on this database.
    [[nodiscard]] bool open(cg::DbConnection &other) const;
    // The arguments that make cgsys-initdb prepare this database.
    QStringList initdbArguments() const;

    // Opens the connections again after the program closed them in order.
    void reconnect();
    // Logs in as that user on the first account set without the window.
    void loginAs(const QString &user);
    // Adds a user with the given password and the flags listed set to '1'.
    void addUser(const QString &name, const QString &password, const QStringList &grantedFlags);

    // Makes the database refuse every insert, update or delete (event) on
    // the table, as a trigger that raises an error.
    [[nodiscard]] bool refuse(const QString &table, const QString &event);

    // Rows of a SELECT as lists of texts.
    QList<QStringList> rows(const QString &sql, const QVariantList &params = {});
    // The rzb rows as "状态|内容描述|操作模块", oldest first.
    QStringList logTriples();
    QString setting(const QString &section, const QString &key);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<cg::AppContext> m_ctx;
    QString m_serverDatabase;   // created on the server for this test
};

// Texts of the recorded message boxes.
QStringList messageTexts();

// Names of the indexes on a table that were created by name (no primary
// keys), in order, from the catalog of db's backend.
QStringList indexNames(cg::DbConnection &db, const QString &table);

} // namespace cgtest
