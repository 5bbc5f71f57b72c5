#include "data/RowStore.h"
#include "data/Db.h"

#include <QDate>
#include <QSqlDriver>
#include <QSqlError>
#ifdef CGSYS_SQLITE_CURSOR
#include <sqlite3.h>
#endif
#include <QSqlRecord>
#include <limits>

namespace cg {

namespace {
// Offsets are 32 bits: a store holds up to 4G characters (8 GB of text);
// cells beyond that are kept empty.
constexpr qsizetype kMaxChars = std::numeric_limits<quint32>::max();
} // namespace

// ------------------------------------------------------------------ cursor

RowCursor::RowCursor(DbConnection &db) : m_db(db) {}

RowCursor::~RowCursor() { finish(); }

void RowCursor::finish()
{
#ifdef CGSYS_SQLITE_CURSOR
    if (m_stmt)
        sqlite3_finalize(m_stmt);
#endif
    m_stmt = nullptr;
    m_query.reset();
}

#ifdef CGSYS_SQLITE_CURSOR
namespace {

// The connection's own SQLite handle, or null. Qt's driver and this code
// use the same system library.
sqlite3 *sqliteHandle(DbConnection &db)
{
    if (db.backend() != Backend::Sqlite)
        return nullptr;
    const QSqlDatabase d = db.database();
    const QVariant h = d.driver() ? d.driver()->handle() : QVariant();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(h.constData());
}

// Binds as Qt's SQLite driver does: texts as UTF-16, dates as ISO texts.
bool bindValue(sqlite3_stmt *stmt, int index, const QVariant &v)
{
    if (v.isNull() || !v.isValid())
        return sqlite3_bind_null(stmt, index) == SQLITE_OK;
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Bool:
        return sqlite3_bind_int64(stmt, index, v.toLongLong()) == SQLITE_OK;
    case QMetaType::Double:
        return sqlite3_bind_double(stmt, index, v.toDouble()) == SQLITE_OK;
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        return sqlite3_bind_blob(stmt, index, b.constData(), int(b.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    }
    case QMetaType::QDate:
        return bindValue(stmt, index, v.toDate().toString(Qt::ISODate));
    default: {
        const QString text = v.toString();
        return sqlite3_bind_text16(stmt, index, text.utf16(), int(text.size() * sizeof(char16_t)),
                                   SQLITE_TRANSIENT) == SQLITE_OK;
    }
    }
}

} // namespace
#endif

bool RowCursor::open(const QString &sql, const QVariantList &params)
{
    finish();
    m_failed = false;
    m_error.clear();
    if (!m_db.isConnected()) {
        m_failed = true;
        m_error = QStringLiteral("not connected");
        return false;
    }
    const QString native = m_db.translate(sql);
#ifdef CGSYS_SQLITE_CURSOR
    if (sqlite3 *handle = sqliteHandle(m_db)) {
        const QByteArray utf8 = native.toUtf8();
        sqlite3_stmt *stmt = nullptr;
        bool ok = sqlite3_prepare_v2(handle, utf8.constData(), int(utf8.size()), &stmt, nullptr) == SQLITE_OK
            && stmt && sqlite3_bind_parameter_count(stmt) == params.size();
        for (int i = 0; ok && i < params.size(); ++i)
            ok = bindValue(stmt, i + 1, params.at(i));
        if (ok) {
            m_stmt = stmt;
            return true;
        }
        sqlite3_finalize(stmt);
    }
#endif
    m_query = std::make_unique<QSqlQuery>(m_db.database());
    m_query->setForwardOnly(true);
    if (!m_db.run(*m_query, native, params)) {
        m_failed = true;
        m_error = m_db.lastError();
        m_query.reset();
        return false;
    }
    return true;
}

bool RowCursor::next()
{
#ifdef CGSYS_SQLITE_CURSOR
    if (m_stmt) {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE) {
            m_failed = true;
            m_error = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_stmt)));
            qCWarning(lcDb, "reading rows failed: %s -- %s", sqlite3_sql(m_stmt), qUtf8Printable(m_error));
        }
        finish();
        return false;
    }
#endif
    if (!m_query)
        return false;
    if (m_query->next())
        return true;
    if (m_query->lastError().isValid()) {
        m_failed = true;
        m_error = m_query->lastError().text();
        qCWarning(lcDb, "reading rows failed: %s", qUtf8Printable(m_error));
    }
    finish();
    return false;
}

qint64 RowCursor::integer(int column) const
{
#ifdef CGSYS_SQLITE_CURSOR
    if (m_stmt)
        return sqlite3_column_int64(m_stmt, column);
#endif
    if (!m_query)
        return 0;
    const QVariant v = m_query->value(column);
    return v.typeId() == QMetaType::Double ? qint64(v.toDouble()) : v.toLongLong();
}

void RowCursor::appendText(int column, QString &to) const
{
    if (!m_stmt) {
        if (m_query)
            to += valueText(m_query->value(column));
        return;
    }
#ifdef CGSYS_SQLITE_CURSOR
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_NULL:
        return;
    case SQLITE_TEXT: {
        const auto *bytes = reinterpret_cast<const unsigned char *>(sqlite3_column_text(m_stmt, column));
        const int n = sqlite3_column_bytes(m_stmt, column);
        // Plain ASCII, most numbers and codes, widens in place.
        int i = 0;
        while (i < n && bytes[i] < 0x80)
            ++i;
        if (i < n) {
            to += QUtf8StringView(reinterpret_cast<const char *>(bytes), n).toString();
            return;
        }
        const qsizetype at = to.size();
        to.resize(at + n);
        char16_t *out = reinterpret_cast<char16_t *>(to.data()) + at;
        for (int k = 0; k < n; ++k)
            out[k] = bytes[k];
        return;
    }
    case SQLITE_INTEGER:
        to += QString::number(sqlite3_column_int64(m_stmt, column));
        return;
    case SQLITE_FLOAT:
        // As Qt's driver hands it on: a double, shown as QVariant shows one.
        to += QVariant(sqlite3_column_double(m_stmt, column)).toString();
        return;
    default: {
        const auto *blob = static_cast<const char *>(sqlite3_column_blob(m_stmt, column));
        to += QString::fromUtf8(blob, sqlite3_column_bytes(m_stmt, column));
        return;
    }
    }
#endif
}

QString RowCursor::text(int column) const
{
    QString t;
    appendText(column, t);
    return t;
}

// ------------------------------------------------------------------- store

QStringView RowStore::view(int row, int column) const
{
    const int columns = columnCount();
    if (row < 0 || column < 0 || column >= columns || row >= rowCount())
        return {};
    const qsizetype cell = qsizetype(row) * columns + column;
    const qsizetype begin = cell == 0 ? 0 : m_ends.at(cell - 1);
    return QStringView(m_text).mid(begin, m_ends.at(cell) - begin);
}

int RowStore::columnIndex(const QString &name) const
{
    for (int i = 0; i < m_columns.size(); ++i)
        if (m_columns.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void RowStore::appendCell(QStringView text)
{
    if (m_text.size() + text.size() <= kMaxChars)
        m_text.append(text);
    m_ends.append(quint32(m_text.size()));
}

void RowStore::appendValue(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString)
        appendCell(*static_cast<const QString *>(value.constData()));
    else if (value.typeId() == QMetaType::QByteArray)
        appendCell({});
    else
        appendCell(valueText(value));
}

RowStore RowStore::fromRows(const QStringList &columns, const QList<QStringList> &rows)
{
    RowStore store(columns);
    for (const QStringList &row : rows)
        store.appendRow(row);
    return store;
}

void RowStore::appendRow(const QStringList &cells)
{
    for (int i = 0; i < columnCount(); ++i)
        appendCell(i < cells.size() ? QStringView(cells.at(i)) : QStringView());
}

bool RowStore::append(const RowStore &other)
{
    if (m_columns.isEmpty() && m_ends.isEmpty())
        m_columns = other.m_columns;
    if (other.columnCount() != columnCount())
        return false;
    if (m_ends.isEmpty()) {
        m_text = other.m_text;
        m_ends = other.m_ends;
        return true;
    }
    if (m_text.size() + other.m_text.size() > kMaxChars)
        return false;
    const quint32 shift = quint32(m_text.size());
    m_text.append(other.m_text);
    // No exact reserve here: pages come one after another, and growing by
    // the vector's own steps keeps appending them linear.
    for (quint32 end : other.m_ends)
        m_ends.append(end + shift);
    return true;
}

void RowStore::clear()
{
    m_text.clear();
    m_ends.clear();
}

qint64 RowStore::bytes() const
{
    return qint64(m_text.capacity()) * 2 + qint64(m_ends.capacity()) * 4;
}

// ------------------------------------------------------------ query reader

QueryReader::QueryReader(DbConnection &db) : m_db(db) {}

QueryReader::~QueryReader() = default;

void QueryReader::close()
{
    m_query.reset();
    m_atEnd = true;
}

bool QueryReader::open(const QString &sql, const QVariantList &params)
{
    close();
    m_columns.clear();
    m_error.clear();
    if (!m_db.isConnected()) {
        m_error = QStringLiteral("not connected");
        return false;
    }
    m_query = std::make_unique<QSqlQuery>(m_db.database());
    m_query->setForwardOnly(true);
    m_params = params;
    if (!m_db.run(*m_query, m_db.translate(sql), params)) {
        m_error = m_db.lastError();
        m_query.reset();
        return false;
    }
    const QSqlRecord rec = m_query->record();
    for (int i = 0; i < rec.count(); ++i)
        m_columns << rec.fieldName(i);
    m_atEnd = false;
    return true;
}

int QueryReader::fetch(RowStore &store, int maxRows)
{
    if (!m_query)
        return m_error.isEmpty() ? 0 : -1;
    if (store.columns().isEmpty())
        store.setColumns(m_columns);
    if (store.columnCount() != m_columns.size()) {
        m_error = QStringLiteral("the store has other columns than the statement");
        return -1;
    }
    const int columns = int(m_columns.size());
    int read = 0;
    while (read < maxRows) {
        if (!m_query->next()) {
            const QSqlError error = m_query->lastError();
            m_query.reset();
            m_atEnd = true;
            if (error.isValid()) {
                m_error = error.text();
                qCWarning(lcDb, "reading rows failed: %s",
                          qUtf8Printable(DbConnection::withoutBoundValues(m_error, m_params)));
                return -1;
            }
            break;
        }
        for (int i = 0; i < columns; ++i)
            store.appendValue(m_query->value(i));
        ++read;
    }
    return read;
}

bool QueryReader::readAll(DbConnection &db, const QString &sql, const QVariantList &params, RowStore *store,
                          QString *error)
{
    QueryReader reader(db);
    RowStore rows;
    const bool ok = reader.open(sql, params) && reader.fetch(rows, std::numeric_limits<int>::max()) >= 0;
    if (error)
        *error = reader.lastError();
    if (ok && store)
        *store = std::move(rows);
    return ok;
}

// ----------------------------------------------------------- keyset reader

KeysetReader::KeysetReader(DbConnection &db, const KeysetQuery &query)
    : m_db(db), m_query(query), m_lastKey(query.startAfter)
{
}

QString KeysetReader::pageSql(int rows) const
{
    QStringList conditions;
    if (!m_query.where.trimmed().isEmpty())
        conditions << QLatin1Char('(') + m_query.where + QLatin1Char(')');
    if (!m_lastKey.isNull())
        conditions << m_query.key + (m_query.descending ? QStringLiteral(" < ?") : QStringLiteral(" > ?"));
    QString sql = QStringLiteral("select top %1 %2 from %3").arg(qMax(rows, 1)).arg(m_query.columns, m_query.from);
    if (!conditions.isEmpty())
        sql += QStringLiteral(" where ") + conditions.join(QStringLiteral(" and "));
    sql += QStringLiteral(" order by ") + m_query.key
        + (m_query.descending ? QStringLiteral(" desc") : QStringLiteral(" asc"));
    return sql;
}

int KeysetReader::fetch(RowStore &store, int maxRows)
{
    if (m_atEnd)
        return 0;
    if (!SqlDialect::isPlainIdentifier(m_query.from) || !SqlDialect::isPlainIdentifier(m_query.key)) {
        m_error = QStringLiteral("not a plain table or key name");
        return -1;
    }
    if (!m_db.isConnected()) {
        m_error = QStringLiteral("not connected");
        return -1;
    }
    maxRows = qMax(maxRows, 1);
    QVariantList params = m_query.params;
    if (!m_lastKey.isNull())
        params << m_lastKey;
    QSqlQuery q(m_db.database());
    q.setForwardOnly(true);
    if (!m_db.run(q, m_db.translate(pageSql(maxRows)), params)) {
        m_error = m_db.lastError();
        return -1;
    }
    const QSqlRecord rec = q.record();
    const int columns = rec.count();
    const int keyColumn = rec.indexOf(m_query.key);
    if (keyColumn < 0) {
        m_error = QStringLiteral("the key column %1 is not selected").arg(m_query.key);
        return -1;
    }
    if (store.columns().isEmpty()) {
        QStringList names;
        for (int i = 0; i < columns; ++i)
            names << rec.fieldName(i);
        store.setColumns(names);
    }
    if (store.columnCount() != columns) {
        m_error = QStringLiteral("the store has other columns than the statement");
        return -1;
    }
    int read = 0;
    while (q.next()) {
        for (int i = 0; i < columns; ++i)
            store.appendValue(q.value(i));
        m_lastKey = q.value(keyColumn);
        ++read;
    }
    if (q.lastError().isValid()) {
        m_error = q.lastError().text();
        qCWarning(lcDb, "reading rows failed: %s", qUtf8Printable(DbConnection::withoutBoundValues(m_error, params)));
        return -1;
    }
    if (read > 0 && m_lastKey.isNull()) {
        // The next page would start over from the first row.
        m_error = QStringLiteral("the key column %1 holds NULL").arg(m_query.key);
        m_atEnd = true;
        return -1;
    }
    if (read < maxRows)
        m_atEnd = true;
    return read;
}

} // namespace cg
