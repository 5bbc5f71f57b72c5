#pragma once
// A database of its own on the PostgreSQL test cluster (CGSYS_PG_*), made
// for one test case and dropped at its end, whatever backend the TestEnv of
// the run uses. Tests that need it skip when the cluster is not there.

#include "data/Db.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace cgtest {

class ScratchServer {
public:
    static bool available() { return !qEnvironmentVariable("CGSYS_PG_HOST").isEmpty(); }

    ScratchServer()
    {
        static int serial = 0;
        m_name = QStringLiteral("cgcopy_%1_%2_%3")
                     .arg(QCoreApplication::applicationPid())
                     .arg(++serial)
                     .arg(QRandomGenerator::global()->generate() % 1000000);
        m_created = maintenance(QStringLiteral("create database ") + m_name);
    }
    ~ScratchServer()
    {
        if (m_created)
            maintenance(QStringLiteral("drop database if exists ") + m_name + QStringLiteral(" with (force)"));
    }
    bool created() const { return m_created; }
    QString name() const { return m_name; }
    QString host() const { return qEnvironmentVariable("CGSYS_PG_HOST"); }
    QString port() const { return qEnvironmentVariable("CGSYS_PG_PORT", QStringLiteral("5432")); }
    QString user() const { return qEnvironmentVariable("CGSYS_PG_USER"); }
    QString password() const { return qEnvironmentVariable("CGSYS_PG_PASSWORD"); }

    // Server address, database, login and password as the connection window takes them.
    QStringList connectionValues() const
    {
        return {QLatin1String(cg::kPostgreSqlScheme) + host() + QLatin1Char(':') + port(), m_name, user(), password()};
    }
    [[nodiscard]] bool open(cg::DbConnection &db) const
    {
        return db.openPostgreSql(host(), port().toInt(), m_name, user(), password());
    }
    // The target options of cgsys-initdb.
    QStringList initdbArguments() const
    {
        return {QStringLiteral("--postgresql"), host() + QLatin1Char(':') + port(), QStringLiteral("--database"),
                m_name, QStringLiteral("--login"), user(), QStringLiteral("--password"), password()};
    }

private:
    bool maintenance(const QString &sql) const
    {
        static int serial = 0;
        const QString connection = QStringLiteral("cgcopy-maintenance-%1").arg(++serial);
        bool ok;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
            db.setHostName(host());
            db.setPort(port().toInt());
            db.setUserName(user());
            db.setPassword(password());
            db.setDatabaseName(QStringLiteral("postgres"));
            ok = db.open() && QSqlQuery(db).exec(sql);
            if (!ok)
                qWarning("test cluster: %s", qPrintable(db.lastError().text()));
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
        return ok;
    }

    QString m_name;
    bool m_created = false;
};

} // namespace cgtest
