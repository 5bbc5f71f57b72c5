#include "data/Db.h"
#include "data/SqlDialect.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace cg {

qint64 leadingInteger(const QString &text)
{
    int i = 0;
    const int n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    qint64 value = 0;
    bool any = false;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        value = value * 10 + (text[i].unicode() - u'0');
        any = true;
        ++i;
        if (value > (Q_INT64_C(1) << 53))
            break;
    }
    if (!any)
        return 0;
    return negative ? -value : value;
}

// ---------------------------------------------------------------- connection

Q_LOGGING_CATEGORY(lcDb, "cgsys.db")

DbConnection::DbConnection(const QString &connectionName) : m_name(connectionName) {}

DbConnection::~DbConnection()
{
    close();
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
}

namespace {

// An ODBC attribute value between braces; a '}' inside is doubled.
QString braced(const QString &value)
{
    QString v = value;
    v.replace(u'}', QStringLiteral("}}"));
    return QLatin1Char('{') + v + QLatin1Char('}');
}

} // namespace

// Servers quote the value they could not take ("invalid input syntax for
// type integer: "…"", "The duplicate key value is (…)").
QString DbConnection::withoutBoundValues(const QString &text, const QVariantList &params)
{
    QString out = text;
    for (const QVariant &param : params) {
        if (param.isNull() || param.typeId() == QMetaType::QByteArray)
            continue;
        const QString value = param.toString();
        if (value.isEmpty())
            continue;
        // Whole values only, so that "1" leaves "htb1" alone.
        const QRegularExpression occurrence(QStringLiteral("(?<![\\w])") + QRegularExpression::escape(value)
                                                + QStringLiteral("(?![\\w])"),
                                            QRegularExpression::UseUnicodePropertiesOption);
        out.replace(occurrence, QStringLiteral("…"));
    }
    return out;
}

QString DbConnection::sqlServerConnectionText(const QString &server, const QString &database,
                                              const QString &login, const QString &password)
{
    return QStringLiteral("DRIVER={SQL Server};SERVER=") + braced(server) + QStringLiteral(";UID=")
        + braced(login) + QStringLiteral(";PWD=") + braced(password) + QStringLiteral(";DATABASE=")
        + braced(database) + QStringLiteral(";");
}

QSqlDatabase DbConnection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

void DbConnection::fail(const QString &message)
{
    m_lastError = message;
}

QString DbConnection::errorText(const QSqlError &error) const
{
    QString text = error.text();
    if (m_backend == Backend::PostgreSql) {
        // The server's detail line quotes the row ("Failing row contains
        // (…)") or key values; the message must not carry bound values.
        QStringList lines = text.split(u'\n');
        lines.removeIf([](const QString &line) { return line.startsWith(QLatin1String("DETAIL:")); });
        text = lines.join(u'\n');
    }
    return text;
}

bool DbConnection::openSqlite(const QString &path)
{
    close();
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_timeout * 1000));
    if (!db.open()) {
        fail(db.lastError().text());
        qCWarning(lcDb, "cannot open the database file %s: %s", qUtf8Printable(path),
                  qUtf8Printable(m_lastError));
        return false;
    }
    m_backend = Backend::Sqlite;
    QSqlQuery q(db);
    run(q, QStringLiteral("PRAGMA journal_mode=WAL"));
    run(q, QStringLiteral("PRAGMA synchronous=NORMAL"));
    return true;
}

bool DbConnection::openSqlServer(const QString &server, const QString &database,
                                 const QString &login, const QString &password)
{
    return openOdbc(sqlServerConnectionText(server, database, login, password), server, database);
}

bool DbConnection::openOdbc(const QString &connectionText, const QString &server, const QString &database)
{
    close();
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
    // FreeTDS left at protocol "auto" can wait for minutes on a server that
    // accepts the connection and never answers, whatever the login time-out;
    // pin the protocol version.
    const QByteArray tdsVersion = qgetenv("TDSVER");
    if (tdsVersion.isEmpty() || tdsVersion.compare("auto", Qt::CaseInsensitive) == 0)
        qputenv("TDSVER", "7.4");
    bool opened;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
        db.setDatabaseName(connectionText);
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1")
                                 .arg(m_timeout));
        opened = db.open();
        if (!opened)
            fail(db.lastError().text());
    }
    if (!opened) {
        // The connection text holds the password: only the server is named.
        qCWarning(lcDb, "cannot connect to SQL Server %s, database %s: %s", qUtf8Printable(server),
                  qUtf8Printable(database), qUtf8Printable(m_lastError));
        QSqlDatabase::removeDatabase(m_name);
        return false;
    }
    m_backend = Backend::SqlServer;
    return true;
}

ConnectionSpec DbConnection::connectionValues() const
{
    ConnectionSpec values;
    if (!isConnected())
        return values;
    const QSqlDatabase db = database();
    values.backend = m_backend;
    values.databaseName = db.databaseName();
    values.hostName = db.hostName();
    values.port = db.port();
    values.userName = db.userName();
    values.password = db.password();
    values.timeout = m_timeout;
    return values;
}

bool DbConnection::open(const ConnectionSpec &values)
{
    m_timeout = values.timeout;
    switch (values.backend) {
    case Backend::Sqlite:
        return openSqlite(values.databaseName);
    case Backend::PostgreSql:
        return openPostgreSql(values.hostName, values.port, values.databaseName, values.userName, values.password);
    case Backend::SqlServer:
        // The connection text names the server; only the text is at hand.
        return openOdbc(values.databaseName, QStringLiteral("(as the main connection)"), QString());
    case Backend::None:
        break;
    }
    close();
    fail(QStringLiteral("no connection to open another like"));
    return false;
}

Backend DbConnection::backendOf(const QString &server)
{
    if (server.compare(QLatin1String(kEmbeddedServer), Qt::CaseInsensitive) == 0)
        return Backend::Sqlite;
    if (server.startsWith(QLatin1String(kPostgreSqlScheme), Qt::CaseInsensitive))
        return Backend::PostgreSql;
    return Backend::SqlServer;
}

bool DbConnection::parsePostgreSqlAddress(const QString &server, QString *host, int *port)
{
    if (backendOf(server) != Backend::PostgreSql)
        return false;
    const QString rest = server.mid(qstrlen(kPostgreSqlScheme));
    QString h;
    QString portText;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            return false;
        h = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (!after.isEmpty() && !after.startsWith(u':'))
            return false;
        portText = after.mid(1);
        if (after.startsWith(u':') && portText.isEmpty())
            return false;
    } else {
        const qsizetype colon = rest.indexOf(u':');
        h = rest.left(colon);
        if (colon >= 0) {
            portText = rest.mid(colon + 1);
            if (portText.isEmpty())
                return false;
        }
    }
    if (h.isEmpty() || h.contains(u'/') || h.contains(u' '))
        return false;
    int p = kPostgreSqlDefaultPort;
    if (!portText.isEmpty()) {
        bool ok = false;
        p = portText.toInt(&ok);
        if (!ok || p < 1 || p > 65535 || portText.startsWith(u'+'))
            return false;
    }
    if (host)
        *host = h;
    if (port)
        *port = p;
    return true;
}

bool DbConnection::openPostgreSql(const QString &host, int port, const QString &database, const QString &login,
                                  const QString &password)
{
    close();
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
    bool opened;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        db.setHostName(host);
        db.setPort(port);
        db.setDatabaseName(database);
        db.setUserName(login);
        db.setPassword(password);
        // libpq takes 0 for "wait for ever" and counts less than 2 as 2.
        db.setConnectOptions(QStringLiteral("connect_timeout=%1;application_name=cgsys").arg(qMax(m_timeout, 2)));
        opened = db.open();
        if (!opened)
            fail(db.lastError().text());
    }
    if (!opened) {
        qCWarning(lcDb, "cannot connect to PostgreSQL %s:%d, database %s: %s", qUtf8Printable(host), port,
                  qUtf8Printable(database), qUtf8Printable(m_lastError));
        QSqlDatabase::removeDatabase(m_name);
        return false;
    }
    m_backend = Backend::PostgreSql;
    bool ready;
    {
        // Locks are waited for as long as a connection attempt; 0 would
        // mean for ever on the server. Notices and warnings ("index exists,
        // skipping", "no transaction in progress") would only go to the
        // error output. (The driver itself sets UTF-8.)
        QSqlQuery q(DbConnection::database());
        ready = run(q, QStringLiteral("set lock_timeout to %1").arg(m_timeout > 0 ? m_timeout * 1000 : 1))
            && run(q, QStringLiteral("set client_min_messages to error"));
    }
    if (!ready) {
        const QString error = m_lastError;
        close();
        m_lastError = error;
        return false;
    }
    return true;
}

bool DbConnection::open(const QString &server, const QString &database, const QString &login,
                        const QString &password, const QString &workFolder)
{
    switch (backendOf(server)) {
    case Backend::Sqlite: {
        QString path = database;
        if (QFileInfo(path).isRelative())
            path = QDir(workFolder).filePath(database);
        return openSqlite(path);
    }
    case Backend::PostgreSql: {
        QString host;
        int port = 0;
        if (!parsePostgreSqlAddress(server, &host, &port)) {
            close();
            fail(QStringLiteral("not a PostgreSQL address (postgresql://host[:port]): %1").arg(server));
            qCWarning(lcDb, "%s", qUtf8Printable(m_lastError));
            return false;
        }
        return openPostgreSql(host, port, database, login, password);
    }
    case Backend::SqlServer:
    case Backend::None:
        break;
    }
    return openSqlServer(server, database, login, password);
}

bool DbConnection::isConnected() const
{
    return m_backend != Backend::None && database().isOpen();
}

void DbConnection::close()
{
    if (m_backend == Backend::None)
        return;
    {
        QSqlDatabase db = database();
        if (db.isOpen())
            db.close();
    }
    m_backend = Backend::None;
    m_depth = 0;
    m_doomed = false;
}

QString DbConnection::translate(const QString &sql) const
{
    return SqlDialect::translate(m_backend, sql);
}

bool DbConnection::run(QSqlQuery &q, const QString &nativeSql, const QVariantList &params)
{
    if (m_observer)
        m_observer(nativeSql);
    bool ok;
    if (params.isEmpty()) {
        ok = q.exec(nativeSql);
    } else {
        ok = q.prepare(nativeSql);
        if (ok) {
            for (int i = 0; i < params.size(); ++i)
                q.bindValue(i, params.at(i));
            ok = q.exec();
        }
    }
    if (!ok) {
        fail(errorText(q.lastError()));
        const QString logged = withoutBoundValues(m_lastError, params);
        qCWarning(lcDb, "statement failed: %s -- %s", qUtf8Printable(nativeSql), qUtf8Printable(logged));
        // Where the server has ended the transaction, the unit can only roll back.
        if (m_depth > 0 && !m_doomed && SqlDialect::failureAbortsTransaction(m_backend)) {
            m_doomed = true;
            m_doomReason = QStringLiteral("rolled back: a statement of the unit failed (%1)").arg(logged);
        }
    }
    return ok;
}

bool DbConnection::execute(const QString &sql, const QVariantList &params)
{
    m_rowsAffected = -1;
    if (!isConnected()) {
        fail(QStringLiteral("not connected"));
        qCWarning(lcDb, "statement not run, not connected: %s", qUtf8Printable(sql));
        return false;
    }
    QSqlQuery q(database());
    if (!run(q, translate(sql), params))
        return false;
    m_rowsAffected = q.numRowsAffected();
    return true;
}

bool DbConnection::tableExists(const QString &table)
{
    Recordset rs(*this);
    if (!rs.open(QStringLiteral("SELECT table_name FROM information_schema.TABLES WHERE table_name =?"),
                 {table}))
        return false;
    const QString name = rs.text(0);
    return !name.isEmpty() && name != QLatin1String("0");
}

// Runs one of the unit's own statements; firstValue receives the first
// column of the first row when asked for (past any results without rows).
bool DbConnection::runUnitStatement(const QString &nativeSql, QVariant *firstValue)
{
    QSqlQuery q(database());
    q.setForwardOnly(true);
    if (!run(q, nativeSql))
        return false;
    if (firstValue) {
        while (!q.isSelect() && q.nextResult()) {
        }
        *firstValue = q.next() ? q.value(0) : QVariant();
    }
    return true;
}

bool DbConnection::beginTransaction()
{
    if (!isConnected()) {
        fail(QStringLiteral("not connected"));
        return false;
    }
    if (m_depth > 0) {
        if (m_doomed) {
            fail(QStringLiteral("the enclosing unit of work has already failed"));
            return false;
        }
        ++m_depth;
        return true;
    }
    const QString lock = SqlDialect::writeLockStatement(m_backend);
    const QStringList statements = SqlDialect::beginWriteUnit(m_backend);
    for (int i = 0; i < statements.size(); ++i) {
        const QString &statement = statements.at(i);
        const bool isLock = !lock.isEmpty() && statement == lock;
        QVariant granted;
        bool ok = runUnitStatement(statement, isLock ? &granted : nullptr);
        if (ok && isLock && !SqlDialect::writeLockGranted(m_backend, granted)) {
            ok = false;
            fail(QStringLiteral("write lock not granted (%1)").arg(granted.toString()));
            qCWarning(lcDb, "write lock not granted (%s): %s", qUtf8Printable(granted.toString()),
                      qUtf8Printable(statement));
        }
        if (!ok) {
            // A BEGIN that went through is undone; the first error stays.
            const QString error = m_lastError;
            if (i > 0)
                runUnitStatement(SqlDialect::rollbackWriteUnit(m_backend));
            m_lastError = error;
            return false;
        }
    }
    m_depth = 1;
    m_doomed = false;
    ++m_unitSerial;
    return true;
}

bool DbConnection::endUnit(bool commitWork)
{
    if (m_depth == 0) {
        fail(QStringLiteral("no unit of work is open"));
        return false;
    }
    if (m_depth > 1) {
        --m_depth;
        if (!commitWork) {
            if (!m_doomed)
                m_doomReason = QStringLiteral("rolled back: an inner unit of work failed");
            m_doomed = true;
            return true;
        }
        if (m_doomed) {
            fail(QStringLiteral("the enclosing unit of work has already failed"));
            return false;
        }
        return true;
    }
    m_depth = 0;
    const bool doomed = m_doomed;
    m_doomed = false;
    if (!isConnected()) {
        fail(QStringLiteral("not connected"));
        return false;
    }
    if (commitWork && !doomed) {
        if (runUnitStatement(SqlDialect::commitWriteUnit(m_backend)))
            return true;
        // A commit that failed (busy, lost transaction) leaves nothing
        // behind; its error is the one kept.
        const QString error = m_lastError;
        runUnitStatement(SqlDialect::rollbackWriteUnit(m_backend));
        m_lastError = error;
        return false;
    }
    const bool rolledBack = runUnitStatement(SqlDialect::rollbackWriteUnit(m_backend));
    if (commitWork) {
        fail(m_doomReason);
        qCWarning(lcDb, "unit of work %s", qUtf8Printable(m_doomReason));
        return false;
    }
    return rolledBack;
}

bool DbConnection::commit() { return endUnit(true); }
bool DbConnection::rollback() { return endUnit(false); }

// ------------------------------------------------------------ units of work

WriteUnit::WriteUnit(DbConnection &db) : m_db(db)
{
    if (m_db.beginTransaction()) {
        m_open = true;
        m_level = m_db.m_depth;
        m_serial = m_db.m_unitSerial;
    } else {
        m_error = m_db.lastError();
    }
}

WriteUnit::~WriteUnit()
{
    if (m_open)
        rollback();
}

// Still the innermost unit of the same transaction (not ended by a close,
// not left open under a unit that ended first).
bool WriteUnit::current() const
{
    return m_db.m_depth == m_level && m_db.m_unitSerial == m_serial;
}

bool WriteUnit::commit()
{
    if (!m_open) {
        m_error = QStringLiteral("no unit of work is open");
        return false;
    }
    m_open = false;
    if (!current()) {
        m_error = QStringLiteral("the unit of work ended elsewhere");
        m_db.fail(m_error);
        return false;
    }
    if (m_db.commit())
        return true;
    m_error = m_db.lastError();
    return false;
}

bool WriteUnit::rollback()
{
    if (!m_open)
        return false;
    m_open = false;
    if (!current())
        return false;
    if (m_db.rollback())
        return true;
    m_error = m_db.lastError();
    return false;
}

bool inTransaction(DbConnection &db, const std::function<bool()> &fn)
{
    WriteUnit unit(db);
    if (!unit.isOpen())
        return false;
    if (!fn()) {
        unit.rollback();
        return false;
    }
    return unit.commit();
}

// ----------------------------------------------------------------- recordset

Recordset::Recordset(DbConnection &db) : m_db(db) {}

bool Recordset::open(const QString &source, const QVariantList &params, Kind kind)
{
    close();
    m_failed = true;
    m_source = source;
    if (!m_db.isConnected()) {
        qCWarning(lcDb, "statement not run, not connected: %s", qUtf8Printable(source));
        return false;
    }
    QString sql = source;
    if (kind == TableName) {
        static const QRegularExpression ident(QStringLiteral("^\\w+$"), QRegularExpression::UseUnicodePropertiesOption);
        if (!ident.match(source).hasMatch()) {
            qCWarning(lcDb, "not a table name: %s", qUtf8Printable(source));
            return false;
        }
        sql = QStringLiteral("select * from ") + source;
    }
    QSqlQuery q(m_db.database());
    q.setForwardOnly(true);
    if (!m_db.run(q, m_db.translate(sql), params))
        return false;
    const QSqlRecord rec = q.record();
    for (int i = 0; i < rec.count(); ++i)
        m_columns << rec.fieldName(i);
    while (q.next()) {
        QVector<QVariant> row(rec.count());
        for (int i = 0; i < rec.count(); ++i)
            row[i] = q.value(i);
        m_all.append(std::move(row));
    }
    q.finish();
    m_visible.resize(m_all.size());
    for (int i = 0; i < m_all.size(); ++i)
        m_visible[i] = i;
    m_open = true;
    m_failed = false;
    return true;
}

void Recordset::close()
{
    m_open = false;
    m_columns.clear();
    m_all.clear();
    m_visible.clear();
    m_pos = 0;
}

bool Recordset::eof() const { return !m_open || m_pos >= m_visible.size(); }

int Recordset::recordCount() const
{
    if (m_failed)
        return -1;
    return m_visible.size();
}

int Recordset::columnIndex(const QString &name) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const QVector<QVariant> *Recordset::currentRow() const
{
    if (eof())
        return nullptr;
    return &m_all.at(m_visible.at(m_pos));
}

QVariant Recordset::value(int column) const
{
    const auto *row = currentRow();
    if (!row || column < 0 || column >= row->size())
        return {};
    return row->at(column);
}

QString valueText(const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return {};
    switch (v.typeId()) {
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QDateTime:
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case QMetaType::QByteArray:
        return QString::fromUtf8(v.toByteArray());
    default:
        return v.toString();
    }
}

QString Recordset::text(int column) const { return valueText(value(column)); }
QString Recordset::text(const QString &column) const { return text(columnIndex(column)); }

qint64 Recordset::number(int column) const
{
    const QVariant v = value(column);
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::Double)
        return static_cast<qint64>(v.toDouble());
    return leadingInteger(valueText(v));
}

qint64 Recordset::number(const QString &column) const { return number(columnIndex(column)); }

QByteArray Recordset::bytes(const QString &column) const
{
    const QVariant v = value(columnIndex(column));
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QByteArray)
        return v.toByteArray();
    return v.toString().toUtf8();
}

QString Recordset::sourceTable() const
{
    static const QRegularExpression re(QStringLiteral("\\bfrom\\s+(\\w+)"),
                                       QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    const auto m = re.match(m_source);
    if (m.hasMatch())
        return m.captured(1);
    static const QRegularExpression ident(QStringLiteral("^\\w+$"), QRegularExpression::UseUnicodePropertiesOption);
    return ident.match(m_source).hasMatch() ? m_source : QString();
}

bool Recordset::writeBytes(const QString &column, const QByteArray &data)
{
    const auto *row = currentRow();
    const int col = columnIndex(column);
    const int idCol = columnIndex(QStringLiteral("id"));
    const QString table = sourceTable();
    static const QRegularExpression ident(QStringLiteral("^\\w+$"), QRegularExpression::UseUnicodePropertiesOption);
    if (!row || col < 0 || idCol < 0 || table.isEmpty() || !ident.match(column).hasMatch())
        return false;
    if (!m_db.execute(QStringLiteral("update ") + table + QStringLiteral(" set ") + column
                          + QStringLiteral("=? where id=?"),
                      {data, row->at(idCol)}))
        return false;
    m_all[m_visible.at(m_pos)][col] = data;
    return true;
}

void Recordset::moveFirst() { m_pos = 0; }
void Recordset::moveLast() { m_pos = m_visible.isEmpty() ? 0 : m_visible.size() - 1; }
void Recordset::moveNext()
{
    if (m_pos < m_visible.size())
        ++m_pos;
}

namespace {

struct Comparison {
    QString column;
    QString op;
    QString value;
    bool quoted = false;
};

// Splits on a keyword (AND / OR) outside quoted values.
QStringList splitOutsideQuotes(const QString &text, const QString &keyword)
{
    QStringList parts;
    bool inQuote = false;
    int start = 0;
    const QString needle = QLatin1Char(' ') + keyword + QLatin1Char(' ');
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == u'\'') {
            inQuote = !inQuote;
            continue;
        }
        if (!inQuote && text.mid(i, needle.size()).compare(needle, Qt::CaseInsensitive) == 0) {
            parts << text.mid(start, i - start);
            i += needle.size() - 1;
            start = i + 1;
        }
    }
    parts << text.mid(start);
    return parts;
}

bool parseComparison(const QString &text, Comparison &out)
{
    static const QRegularExpression re(
        QStringLiteral("^\\s*\\[?([^\\s<>=\\]]+)\\]?\\s*(<=|>=|<>|=|<|>|\\bLIKE\\b)\\s*(.*?)\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(text);
    if (!m.hasMatch())
        return false;
    out.column = m.captured(1);
    out.op = m.captured(2).toUpper();
    QString v = m.captured(3);
    if (v.size() >= 2 && (v.startsWith(u'\'') && v.endsWith(u'\''))) {
        v = v.mid(1, v.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
        out.quoted = true;
    } else if (v.size() >= 2 && v.startsWith(u'#') && v.endsWith(u'#')) {
        v = v.mid(1, v.size() - 2);
        out.quoted = true;
    }
    out.value = v;
    return true;
}

bool compare(const QString &cell, const Comparison &c)
{
    if (c.op == QLatin1String("LIKE")) {
        QString pattern = QRegularExpression::escape(c.value);
        pattern.replace(QStringLiteral("\\*"), QStringLiteral(".*"));
        pattern.replace(QStringLiteral("%"), QStringLiteral(".*"));
        pattern.replace(QStringLiteral("_"), QStringLiteral("."));
        const QRegularExpression re(QStringLiteral("^") + pattern + QStringLiteral("$"),
                                    QRegularExpression::CaseInsensitiveOption
                                        | QRegularExpression::DotMatchesEverythingOption);
        return re.match(cell).hasMatch();
    }
    int order;
    bool okA = false, okB = false;
    const double a = cell.toDouble(&okA);
    const double b = c.value.toDouble(&okB);
    if (okA && okB && !c.quoted)
        order = a < b ? -1 : (a > b ? 1 : 0);
    else
        order = cell.compare(c.value, Qt::CaseInsensitive);
    if (c.op == QLatin1String("="))
        return order == 0;
    if (c.op == QLatin1String("<>"))
        return order != 0;
    if (c.op == QLatin1String("<"))
        return order < 0;
    if (c.op == QLatin1String(">"))
        return order > 0;
    if (c.op == QLatin1String("<="))
        return order <= 0;
    return order >= 0;
}

} // namespace

bool Recordset::matches(const QVector<QVariant> &row, const QString &criteria) const
{
    for (const QString &orPart : splitOutsideQuotes(criteria, QStringLiteral("OR"))) {
        bool all = true;
        for (const QString &andPart : splitOutsideQuotes(orPart, QStringLiteral("AND"))) {
            Comparison c;
            if (!parseComparison(andPart, c)) {
                all = false;
                break;
            }
            const int col = columnIndex(c.column);
            if (col < 0 || !compare(valueText(row.at(col)), c)) {
                all = false;
                break;
            }
        }
        if (all)
            return true;
    }
    return false;
}

bool Recordset::find(const QString &criteria, int direction)
{
    if (!m_open)
        return false;
    const int step = direction < 0 ? -1 : 1;
    for (int i = m_pos; i >= 0 && i < m_visible.size(); i += step) {
        if (matches(m_all.at(m_visible.at(i)), criteria)) {
            m_pos = i;
            return true;
        }
    }
    m_pos = m_visible.size();
    return false;
}

void Recordset::setFilter(const QString &criteria)
{
    m_visible.clear();
    for (int i = 0; i < m_all.size(); ++i)
        if (criteria.isEmpty() || matches(m_all.at(i), criteria))
            m_visible.append(i);
    m_pos = 0;
}

bool Recordset::deleteCurrent()
{
    const auto *row = currentRow();
    const int idCol = columnIndex(QStringLiteral("id"));
    const QString table = sourceTable();
    if (!row || idCol < 0 || table.isEmpty())
        return false;
    if (!m_db.execute(QStringLiteral("delete from ") + table + QStringLiteral(" where id=?"),
                      {row->at(idCol)}))
        return false;
    m_visible.removeAt(m_pos);
    return true;
}

} // namespace cg
