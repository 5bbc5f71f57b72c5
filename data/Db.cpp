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

DbConnection::DbConnection(const QString &connectionName) : m_name(connectionName) {}

DbConnection::~DbConnection()
{
    close();
    if (QSqlDatabase::contains(m_name))
        QSqlDatabase::removeDatabase(m_name);
}

QString DbConnection::sqlServerConnectionText(const QString &server, const QString &database,
                                              const QString &login, const QString &password)
{
    return QStringLiteral("DRIVER=SQL Server;SERVER=") + server + QStringLiteral(";UID=") + login
        + QStringLiteral(";PWD=") + password + QStringLiteral(";DATABASE=") + database
        + QStringLiteral(";");
}

QSqlDatabase DbConnection::database() const
{
    return QSqlDatabase::database(m_name, false);
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
        m_lastError = db.lastError().text();
        return false;
    }
    m_backend = Backend::Sqlite;
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    q.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    return true;
}

bool DbConnection::openSqlServer(const QString &server, const QString &database,
                                 const QString &login, const QString &password)
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
        db.setDatabaseName(sqlServerConnectionText(server, database, login, password));
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1")
                                 .arg(m_timeout));
        opened = db.open();
        if (!opened)
            m_lastError = db.lastError().text();
    }
    if (!opened) {
        QSqlDatabase::removeDatabase(m_name);
        return false;
    }
    m_backend = Backend::SqlServer;
    return true;
}

bool DbConnection::open(const QString &server, const QString &database, const QString &login,
                        const QString &password, const QString &workFolder)
{
    if (server.compare(QLatin1String(kEmbeddedServer), Qt::CaseInsensitive) == 0) {
        QString path = database;
        if (QFileInfo(path).isRelative())
            path = QDir(workFolder).filePath(database);
        return openSqlite(path);
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
    m_inTransaction = false;
}

QString DbConnection::translate(const QString &sql) const
{
    if (m_backend == Backend::Sqlite)
        return SqlDialect::forSqlite(sql);
    if (m_backend == Backend::SqlServer)
        return SqlDialect::forSqlServer(sql);
    return sql;
}

static void bindAll(QSqlQuery &q, const QVariantList &params)
{
    for (int i = 0; i < params.size(); ++i)
        q.bindValue(i, params.at(i));
}

bool DbConnection::execute(const QString &sql, const QVariantList &params)
{
    m_rowsAffected = -1;
    if (!isConnected()) {
        m_lastError = QStringLiteral("not connected");
        return false;
    }
    QSqlQuery q(database());
    bool ok;
    if (params.isEmpty()) {
        ok = q.exec(translate(sql));
    } else {
        ok = q.prepare(translate(sql));
        if (ok) {
            bindAll(q, params);
            ok = q.exec();
        }
    }
    if (!ok) {
        m_lastError = q.lastError().text();
        return false;
    }
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

bool DbConnection::beginTransaction()
{
    if (!isConnected() || m_inTransaction)
        return false;
    bool ok;
    if (m_backend == Backend::Sqlite) {
        QSqlQuery q(database());
        ok = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
        if (!ok)
            m_lastError = q.lastError().text();
    } else {
        ok = database().transaction();
        if (!ok)
            m_lastError = database().lastError().text();
    }
    m_inTransaction = ok;
    return ok;
}

bool DbConnection::commit()
{
    if (!m_inTransaction)
        return false;
    bool ok;
    if (m_backend == Backend::Sqlite) {
        QSqlQuery q(database());
        ok = q.exec(QStringLiteral("COMMIT"));
        if (!ok)
            m_lastError = q.lastError().text();
    } else {
        ok = database().commit();
    }
    if (ok)
        m_inTransaction = false;
    return ok;
}

bool DbConnection::rollback()
{
    if (!m_inTransaction)
        return false;
    bool ok;
    if (m_backend == Backend::Sqlite) {
        QSqlQuery q(database());
        ok = q.exec(QStringLiteral("ROLLBACK"));
    } else {
        ok = database().rollback();
    }
    m_inTransaction = false;
    return ok;
}

bool inTransaction(DbConnection &db, const std::function<bool()> &fn)
{
    if (!db.beginTransaction())
        return false;
    if (!fn()) {
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        db.rollback();
        return false;
    }
    return true;
}

// ----------------------------------------------------------------- recordset

Recordset::Recordset(DbConnection &db) : m_db(db) {}

bool Recordset::open(const QString &source, const QVariantList &params, Kind kind)
{
    close();
    m_failed = true;
    m_source = source;
    if (!m_db.isConnected())
        return false;
    QString sql = source;
    if (kind == TableName) {
        static const QRegularExpression ident(QStringLiteral("^\\w+$"), QRegularExpression::UseUnicodePropertiesOption);
        if (!ident.match(source).hasMatch())
            return false;
        sql = QStringLiteral("select * from ") + source;
    }
    QSqlQuery q(m_db.database());
    q.setForwardOnly(true);
    bool ok;
    if (params.isEmpty()) {
        ok = q.exec(m_db.translate(sql));
    } else {
        ok = q.prepare(m_db.translate(sql));
        if (ok) {
            bindAll(q, params);
            ok = q.exec();
        }
    }
    if (!ok) {
        m_db.m_lastError = q.lastError().text();
        return false;
    }
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

static QString variantText(const QVariant &v)
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

QString Recordset::text(int column) const { return variantText(value(column)); }
QString Recordset::text(const QString &column) const { return text(columnIndex(column)); }

qint64 Recordset::number(int column) const
{
    const QVariant v = value(column);
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::Double)
        return static_cast<qint64>(v.toDouble());
    return leadingInteger(variantText(v));
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
            if (col < 0 || !compare(variantText(row.at(col)), c)) {
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
