// Prepares a shared database for the contract system: the five fixed tables,
// the administrator "admin", a first account set for the current year and
// the indexes. Run again on an existing database, it adds what is missing.
//
//   cgsys-initdb --sqlite FILE
//   cgsys-initdb --server HOST --database NAME --login USER --password PASS
//                                      (SQL Server)
//   cgsys-initdb --postgresql HOST[:PORT] --database NAME --login USER --password PASS
//                                      (PostgreSQL; the database must exist,
//                                       in UTF8, owned by or writable for USER)
//   cgsys-initdb --copy-from FILE --postgresql … | --server …
//                                      (moves the embedded database FILE to
//                                       the server: checked, copied with its
//                                       ids and verified; exit status 0 only
//                                       when every table is verified)
//   cgsys-initdb --print-script        (the same as T-SQL, for SQL Server tools;
//                                       UTF-8 with a byte-order mark, as
//                                       data/sql/setup.sql holds it)
#include "data/DatabaseCopy.h"
#include "data/Db.h"
#include "data/Schema.h"
#include "data/Version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QFileInfo>
#include <cstdio>

using namespace cg;

namespace {

// --copy-from: the embedded database file onto the server just opened.
int copyDatabase(const QString &file, DbConnection &target)
{
    if (target.backend() == Backend::Sqlite) {
        std::fputs("--copy-from needs a server: --postgresql or --server\n", stderr);
        return 2;
    }
    if (!QFileInfo(file).isFile()) {
        std::fprintf(stderr, "no such file: %s\n", qPrintable(file));
        return 2;
    }
    DbConnection source(QStringLiteral("initdb-source"));
    if (!source.openSqlite(file)) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(file), qPrintable(source.lastError()));
        return 1;
    }
    DatabaseCopy copy(source, target);
    QString started, finished;
    copy.setProgress([&](const QString &step, const QString &table, qint64 tableDone, qint64 tableTotal, qint64, qint64) {
        if (table.isEmpty() || step != QStringLiteral("复制"))
            return;
        if (table != started)
            std::printf("copying %s\n", qPrintable(table));
        started = table;
        if (tableDone == tableTotal && finished != table)
            std::printf("copied %s: %lld rows\n", qPrintable(table), qlonglong(tableDone));
        if (tableDone == tableTotal)
            finished = table;
        std::fflush(stdout);
    });
    const DatabaseCopy::Outcome outcome = copy.run(QDate::currentDate().year());
    for (const CopyProblem &p : copy.problems())
        std::fprintf(stderr, "%s\n", qPrintable(p.text()));
    if (outcome != DatabaseCopy::Outcome::Verified) {
        std::fprintf(stderr, "not copied: %s\n", qPrintable(copy.message()));
        return 1;
    }
    for (const TableCopy &t : copy.tables())
        std::printf("verified %s: %lld rows, digest %s\n", qPrintable(t.table), qlonglong(t.rows),
                    qPrintable(t.targetDigest));
    std::printf("verified: %lld tables, %lld rows, digest %s\n", qlonglong(copy.tables().size()),
                qlonglong(copy.totalRows()), qPrintable(copy.digest()));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cgsys-initdb"));
    QCoreApplication::setApplicationVersion(ProgramVersion());
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Creates the tables of the contract system, the user admin (initial password %1), "
        "an account set for the current year and the indexes; adds what is missing to an "
        "existing database.").arg(QLatin1String(Schema::kAdminInitialPassword)));
    parser.addHelpOption();
    parser.addVersionOption();
    QCommandLineOption sqlite(QStringLiteral("sqlite"), QStringLiteral("Embedded database file."), QStringLiteral("file"));
    QCommandLineOption server(QStringLiteral("server"), QStringLiteral("SQL Server address."), QStringLiteral("host"));
    QCommandLineOption postgresql(QStringLiteral("postgresql"),
                                  QStringLiteral("PostgreSQL server (port %1 unless given).").arg(kPostgreSqlDefaultPort),
                                  QStringLiteral("host[:port]"));
    QCommandLineOption database(QStringLiteral("database"), QStringLiteral("Database name."), QStringLiteral("name"));
    QCommandLineOption login(QStringLiteral("login"), QStringLiteral("Server login."), QStringLiteral("user"));
    QCommandLineOption password(QStringLiteral("password"), QStringLiteral("Its password."), QStringLiteral("password"));
    QCommandLineOption script(QStringLiteral("print-script"), QStringLiteral("Print the T-SQL setup script."));
    QCommandLineOption copyFrom(QStringLiteral("copy-from"),
                                QStringLiteral("Copy the embedded database file to the server and verify the copy."),
                                QStringLiteral("file"));
    parser.addOptions({sqlite, server, postgresql, database, login, password, script, copyFrom});
    parser.process(app);

    if (parser.isSet(script)) {
        const QByteArray bytes = Schema::setupScriptFile();
        return std::fwrite(bytes.constData(), 1, bytes.size(), stdout) == size_t(bytes.size()) ? 0 : 1;
    }
    DbConnection db(QStringLiteral("initdb"));
    const bool serverValues = parser.isSet(database) && parser.isSet(login) && parser.isSet(password);
    bool opened;
    if (parser.isSet(sqlite)) {
        opened = db.openSqlite(parser.value(sqlite));
    } else if (parser.isSet(server) && serverValues) {
        opened = db.openSqlServer(parser.value(server), parser.value(database), parser.value(login),
                                  parser.value(password));
    } else if (parser.isSet(postgresql) && serverValues) {
        // The address as the connection window takes it.
        const QString address = QLatin1String(kPostgreSqlScheme) + parser.value(postgresql);
        QString host;
        int port = 0;
        if (!DbConnection::parsePostgreSqlAddress(address, &host, &port)) {
            std::fprintf(stderr, "not a PostgreSQL server: %s (give host or host:port)\n",
                         qPrintable(parser.value(postgresql)));
            return 2;
        }
        opened = db.openPostgreSql(host, port, parser.value(database), parser.value(login), parser.value(password));
    } else {
        std::fputs("Give --sqlite FILE, or --server or --postgresql with --database, --login and --password "
                   "(and --copy-from FILE to move an embedded database there), or --print-script.\n",
                   stderr);
        return 2;
    }
    if (!opened) {
        std::fprintf(stderr, "cannot connect: %s\n", qPrintable(db.lastError()));
        return 1;
    }
    if (parser.isSet(copyFrom))
        return copyDatabase(parser.value(copyFrom), db);
    if (!Schema::initialise(db, QDate::currentDate().year())) {
        std::fprintf(stderr, "setup failed: %s\n", qPrintable(db.lastError()));
        return 1;
    }
    std::puts("ok");
    return 0;
}
