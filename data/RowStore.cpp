#include "data/RowStore.h"
#include "data/Db.h"

#include <QSqlError>
#include <QSqlRecord>
#include <limits>

namespace cg {

namespace {
// Offsets are 32 bits: a store holds up to 4G characters (8 GB of text);
// cells beyond that are kept empty.
constexpr qsizetype kMaxChars = std::numeric_limits<quint32>::max();
} // namespace

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
