#pragma once
// A fresh world for one test: its own working folder, settings file and
// embedded database, seams in test mode, and helpers to read what was written.

#include "ui/Seams.h"
#include "data/Context.h"

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
    // connect: open the embedded database (created with its tables, admin
    // and this year's account set) as the main connection.
    explicit TestEnv(bool connect = true);
    ~TestEnv();

    cg::AppContext &ctx() { return *m_ctx; }
    cg::DbConnection &db() { return m_ctx->db(); }
    QString folder() const { return m_dir.path(); }
    QString workFolder() const { return m_ctx->workFolder(); }
    QString dbPath() const;

    // Opens the connections again after the program closed them in order.
    void reconnect();
    // Logs in as that user on the first account set without the window.
    void loginAs(const QString &user);
    // Adds a user with the given password and the flags listed set to '1'.
    void addUser(const QString &name, const QString &password, const QStringList &grantedFlags);

    // Rows of a SELECT as lists of texts.
    QList<QStringList> rows(const QString &sql, const QVariantList &params = {});
    // The rzb rows as "状态|内容描述|操作模块", oldest first.
    QStringList logTriples();
    QString setting(const QString &section, const QString &key);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<cg::AppContext> m_ctx;
};

// Texts of the recorded message boxes.
QStringList messageTexts();

} // namespace cgtest
