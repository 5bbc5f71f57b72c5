#include "data/DatabaseCopy.h"
#include "data/Db.h"
#include "data/Schema.h"
#include "data/Seams.h"

#include <QCryptographicHash>
#include <QDate>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlDriver>
#include <QStringEncoder>
#include <QtEndian>
#include <algorithm>
#include <charconv>
#include <libpq-fe.h>
#include <memory>
#include <optional>
#ifdef CGSYS_OPENSSL_SHA256
#include <openssl/evp.h>
#endif

namespace cg {

namespace {

// The column definitions of a "create table name(…)" statement.
QList<ColumnDef> parseColumns(const QString &statement)
{
    QList<ColumnDef> out;
    const qsizetype open = statement.indexOf(u'(');
    const qsizetype close = statement.lastIndexOf(u')');
    if (open < 0 || close <= open)
        return out;
    const QString body = statement.mid(open + 1, close - open - 1);
    QStringList defs;
    int depth = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i < body.size(); ++i) {
        if (body.at(i) == u'(')
            ++depth;
        else if (body.at(i) == u')')
            --depth;
        else if (body.at(i) == u',' && depth == 0) {
            defs << body.mid(start, i - start);
            start = i + 1;
        }
    }
    defs << body.mid(start);
    static const QRegularExpression lengthPattern(QStringLiteral("^n?varchar\\s*\\((\\d+)\\)"));
    for (const QString &d : defs) {
        const QString def = d.trimmed();
        const qsizetype space = def.indexOf(u' ');
        if (space <= 0)
            continue;
        ColumnDef c;
        c.name = def.left(space);
        const QString type = def.mid(space + 1).trimmed().toLower();
        if (type.startsWith(QLatin1String("int"))) {
            c.kind = ColumnDef::Integer;
            c.identity = type.contains(QLatin1String("identity"));
        } else if (type.startsWith(QLatin1String("date"))) {
            c.kind = ColumnDef::Date;
        } else if (type.startsWith(QLatin1String("image"))) {
            c.kind = ColumnDef::Binary;
        } else {
            c.kind = ColumnDef::Text;
            const QRegularExpressionMatch m = lengthPattern.match(type);
            c.length = m.hasMatch() ? m.captured(1).toInt() : 0;
        }
        out << c;
    }
    return out;
}

bool hasIdentity(const QList<ColumnDef> &columns)
{
    return std::any_of(columns.cbegin(), columns.cend(), [](const ColumnDef &c) { return c.identity; });
}

QString columnList(const QList<ColumnDef> &columns)
{
    QStringList names;
    for (const ColumnDef &c : columns)
        names << c.name;
    return names.join(u',');
}

// The select that reads a whole table: in id order, or on SQLite in the
// order the rows were stored (the lists of ztb and yhb show that order).
QString selectAll(Backend backend, const QString &table, const QList<ColumnDef> &columns)
{
    QString sql = QStringLiteral("select ") + columnList(columns) + QStringLiteral(" from ") + table;
    if (hasIdentity(columns))
        sql += QStringLiteral(" order by id");
    else if (backend == Backend::Sqlite)
        sql += QStringLiteral(" order by rowid");
    return sql;
}

// "2035-05-20" as a date, as the precheck has made sure it reads; read by
// hand, QDate::fromString would be the slowest step of the copy.
QDate dateOf(const QString &s)
{
    if (s.size() != 10 || s.at(4) != u'-' || s.at(7) != u'-')
        return {};
    return QDate(QStringView(s).left(4).toInt(), QStringView(s).mid(5, 2).toInt(), QStringView(s).mid(8, 2).toInt());
}

// A value as the target takes it: texts as texts (SQLite may hand out a
// number from a text column), dates as dates.
QVariant boundValue(const ColumnDef &c, const QVariant &v)
{
    switch (c.kind) {
    case ColumnDef::Text: {
        if (v.isNull())
            return QVariant(QMetaType::fromType<QString>());
        // The drivers bind a null QString as NULL: an empty text stays a text.
        const QString s = v.toString();
        return QVariant(s.isNull() ? QString(QLatin1String("")) : s);
    }
    case ColumnDef::Integer:
        return v.isNull() ? QVariant(QMetaType::fromType<qlonglong>()) : QVariant(v.toLongLong());
    case ColumnDef::Date:
        if (v.isNull())
            return QVariant(QMetaType::fromType<QDate>());
        if (v.metaType().id() == QMetaType::QDate)
            return v;
        return QVariant(dateOf(v.toString()));
    case ColumnDef::Binary:
        if (v.isNull())
            return QVariant(QMetaType::fromType<QByteArray>());
        // SQLite hands out an empty attachment as a null QByteArray, which
        // the drivers would bind as NULL.
        const QByteArray b = v.toByteArray();
        return QVariant(b.isNull() ? QByteArray("", 0) : b);
    }
    return v;
}

qsizetype valueBytes(const QVariant &v)
{
    if (v.metaType().id() == QMetaType::QByteArray)
        return v.toByteArray().size();
    if (v.metaType().id() == QMetaType::QString)
        return v.toString().size() * 2;
    return 8;
}

// SHA-256 over a stream. OpenSSL's uses the processor's SHA instructions
// where there are any: several times Qt's speed on the attachments.
class Sha256 {
public:
#ifdef CGSYS_OPENSSL_SHA256
    Sha256() : m_ctx(EVP_MD_CTX_new())
    {
        Q_CHECK_PTR(m_ctx);
        EVP_DigestInit_ex(m_ctx, EVP_sha256(), nullptr);
    }
    ~Sha256() { EVP_MD_CTX_free(m_ctx); }
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;
    void add(QByteArrayView bytes) { EVP_DigestUpdate(m_ctx, bytes.data(), size_t(bytes.size())); }
    // The digest so far; starts again.
    QByteArray result()
    {
        unsigned char md[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(m_ctx, md, &length);
        EVP_DigestInit_ex(m_ctx, EVP_sha256(), nullptr);
        return QByteArray(reinterpret_cast<const char *>(md), length);
    }

private:
    EVP_MD_CTX *m_ctx;
#else
    void add(QByteArrayView bytes) { m_hash.addData(bytes); }
    QByteArray result()
    {
        const QByteArray out = m_hash.result();
        m_hash.reset();
        return out;
    }

private:
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
#endif
};

// A text as UTF-8 at the end of buf. The encoder keeps nothing between
// calls: a lone surrogate at the end of one value does not reach the next.
void appendUtf8(QByteArray &buf, QStringView s)
{
    static thread_local QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    const qsizetype start = buf.size();
    buf.resize(start + encoder.requiredSpace(s.size()));
    char *end = encoder.appendToBuffer(buf.data() + start, s);
    buf.resize(end - buf.constData());
}

// The digest of values: each a kind, the length and the bytes, so no two
// rows with different values can give the same stream.
class ValueDigest {
public:
    void add(const ColumnDef &c, const QVariant &v)
    {
        if (v.isNull())
            return put('N', {});
        switch (c.kind) {
        case ColumnDef::Text:
            m_scratch.resize(0);
            appendUtf8(m_scratch, v.toString());
            return put('T', m_scratch);
        case ColumnDef::Integer: {
            char digits[24];
            const auto r = std::to_chars(digits, digits + sizeof digits, v.toLongLong());
            return put('I', QByteArrayView(digits, r.ptr - digits));
        }
        case ColumnDef::Date:
            m_scratch.resize(0);
            appendUtf8(m_scratch,
                       v.metaType().id() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate) : v.toString());
            return put('D', m_scratch);
        case ColumnDef::Binary:
            return put('B', v.toByteArray());
        }
    }
    void addDigest(QByteArrayView digest) { m_hash.add(digest); }
    QByteArray result() { return m_hash.result(); }

private:
    void put(char tag, QByteArrayView bytes)
    {
        const quint64 length = qToLittleEndian(quint64(bytes.size()));
        m_hash.add(QByteArrayView(&tag, 1));
        m_hash.add(QByteArrayView(reinterpret_cast<const char *>(&length), sizeof length));
        m_hash.add(bytes);
    }
    Sha256 m_hash;
    QByteArray m_scratch;
};

// A table's digest as it is read: tables with an id come in id order and
// are hashed as one stream; the others are a set of rows (their order on a
// server is not the stored one), taken from the sorted digests of the rows.
class TableDigest {
public:
    explicit TableDigest(bool ordered) : m_ordered(ordered) {}
    void add(const ColumnDef &c, const QVariant &v) { (m_ordered ? m_whole : m_row).add(c, v); }
    void endRow()
    {
        if (!m_ordered)
            m_rows << m_row.result();
    }
    QString result()
    {
        std::sort(m_rows.begin(), m_rows.end());
        for (const QByteArray &d : std::as_const(m_rows))
            m_whole.addDigest(d);
        m_rows.clear();
        return QString::fromLatin1(m_whole.result().toHex());
    }

private:
    bool m_ordered;
    ValueDigest m_whole;
    ValueDigest m_row;
    QList<QByteArray> m_rows;
};

int codePoints(const QString &s)
{
    int n = 0;
    for (qsizetype i = 0; i < s.size(); ++i)
        if (!s.at(i).isLowSurrogate() || i == 0 || !s.at(i - 1).isHighSurrogate())
            ++n;
    return n;
}

// The length of a text as the server counts it against nvarchar(n):
// SQL Server in UTF-16 units, PostgreSQL in characters.
int serverLength(Backend backend, const QString &s)
{
    return backend == Backend::SqlServer ? int(s.size()) : codePoints(s);
}

// 年-月-日 with four, two and two digits, a day the calendar has: what the
// servers read as a date whatever their date style. Read by hand: with
// QDate::fromString the precheck took longer than the copy.
bool isDateText(const QString &s)
{
    if (s.size() != 10 || s.at(4) != u'-' || s.at(7) != u'-')
        return false;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (s.at(i) < u'0' || s.at(i) > u'9')
            return false;
    return dateOf(s).isValid();
}

bool isIntValue(const QVariant &v)
{
    qlonglong n = 0;
    if (v.metaType().id() == QMetaType::LongLong || v.metaType().id() == QMetaType::Int) {
        n = v.toLongLong();
    } else {
        bool ok = false;
        const QString s = v.toString();
        n = s.trimmed() == s ? s.toLongLong(&ok) : 0;
        if (!ok)
            return false;
    }
    return n >= std::numeric_limits<qint32>::min() && n <= std::numeric_limits<qint32>::max();
}

} // namespace

bool IsContractTableName(const QString &table)
{
    static const QRegularExpression pattern(QStringLiteral("^htb[0-9]{1,4}$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern.match(table).hasMatch();
}

QList<ColumnDef> ProgramTableColumns(const QString &table)
{
    if (IsContractTableName(table))
        return parseColumns(Schema::createContractTableSql(table.toLower()));
    for (const QString &statement : Schema::fixedTableStatements()) {
        const QString prefix = QStringLiteral("create table ") + table.toLower();
        if (statement.startsWith(prefix) && statement.mid(prefix.size()).startsWith(u'('))
            return parseColumns(statement);
    }
    return {};
}

QString CopyProblem::text() const
{
    const QString where = byPosition ? QStringLiteral("%1 表第 %2 行的 %3").arg(table, rowId, column)
                                     : QStringLiteral("%1 表 id %2 的 %3").arg(table, rowId, column);
    switch (kind) {
    case TooLong:
        return where + QStringLiteral("：长度 %1，服务器只允许 %2").arg(length).arg(limit);
    case NotADate:
        return where + QStringLiteral("：不是日期（应为 年-月-日，如 2020-07-10）");
    case NotANumber:
        return where + QStringLiteral("：不是整数");
    case NulCharacter:
        return where + QStringLiteral("：含有服务器不接受的空字符");
    }
    return where;
}

DatabaseCopy::DatabaseCopy(DbConnection &source, DbConnection &target) : m_source(source), m_target(target) {}

void DatabaseCopy::setBatchRows(int rowsPerStatement, int rowsPerUnit)
{
    m_rowsPerStatement = qMax(1, rowsPerStatement);
    m_rowsPerUnit = qMax(1, rowsPerUnit);
}

int DatabaseCopy::maxValuesPerStatement(Backend backend)
{
    switch (backend) {
    case Backend::SqlServer:
        return 2000;    // 2100 parameters at most
    case Backend::PostgreSql:
        return 65535;   // the protocol's count of parameters
    case Backend::Sqlite:
        return 32766;   // SQLITE_MAX_VARIABLE_NUMBER since 3.32
    case Backend::None:
        break;
    }
    return 999;
}

QString DatabaseCopy::insertStatement(const QString &table, const QList<ColumnDef> &columns, int rows)
{
    QString group = QStringLiteral("(");
    for (int i = 0; i < columns.size(); ++i)
        group += i ? QStringLiteral(",?") : QStringLiteral("?");
    group += u')';
    QString sql = QStringLiteral("insert into ") + table + u'(' + columnList(columns) + QStringLiteral(") values");
    sql.reserve(sql.size() + rows * (group.size() + 1));
    for (int r = 0; r < rows; ++r) {
        if (r)
            sql += u',';
        sql += group;
    }
    return sql;
}

QStringList DatabaseCopy::beforeInserts(Backend backend, const QString &table)
{
    if (backend == Backend::SqlServer)
        return {QStringLiteral("SET IDENTITY_INSERT ") + table + QStringLiteral(" ON")};
    return {};
}

QStringList DatabaseCopy::afterInserts(Backend backend, const QString &table)
{
    if (backend == Backend::SqlServer)
        return {QStringLiteral("SET IDENTITY_INSERT ") + table + QStringLiteral(" OFF")};
    return {};
}

QStringList DatabaseCopy::identityStatements(Backend backend, const QString &table, qint64 highestId)
{
    if (highestId <= 0)
        return {};   // a new identity starts at 1
    switch (backend) {
    case Backend::PostgreSql:
        return {QStringLiteral("select setval(pg_get_serial_sequence('%1', 'id'), %2)").arg(table).arg(highestId)};
    case Backend::SqlServer:
        // After IDENTITY_INSERT the identity stands at the highest id
        // inserted; ids used and deleted before the copy stay used.
        return {QStringLiteral("DBCC CHECKIDENT ('%1', RESEED, %2)").arg(table).arg(highestId)};
    case Backend::Sqlite:
    case Backend::None:
        break;
    }
    return {};
}

bool DatabaseCopy::fail(const QString &message)
{
    m_message = message;
    return false;
}

void DatabaseCopy::tell(const QString &step, const QString &table, qint64 tableDone, qint64 tableTotal)
{
    if (m_progress)
        m_progress(step, table, tableDone, tableTotal, m_done, m_total);
}

qint64 DatabaseCopy::totalRows() const
{
    qint64 n = 0;
    for (const TableCopy &t : m_tables)
        n += t.rows;
    return n;
}

QString DatabaseCopy::digest() const
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const TableCopy &t : m_tables)
        hash.addData(QStringLiteral("%1|%2|%3\n").arg(t.table).arg(t.rows).arg(t.sourceDigest).toUtf8());
    return QString::fromLatin1(hash.result().toHex());
}

QStringList DatabaseCopy::sourceTables()
{
    QStringList out = {QStringLiteral("jczlb"), QStringLiteral("gysb"), QStringLiteral("rzb")};
    for (const QString &t : Schema::contractTables(m_source))
        if (IsContractTableName(t) && !out.contains(t.toLower()) && m_source.tableExists(t))
            out << t.toLower();
    out << QStringLiteral("yhb") << QStringLiteral("ztb");
    return out;
}

QList<CopyProblem> DatabaseCopy::precheck()
{
    QList<CopyProblem> problems;
    const Backend target = m_target.backend();
    for (const QString &table : sourceTables()) {
        QList<ColumnDef> columns = ProgramTableColumns(table);
        const bool withId = hasIdentity(columns);
        // The attachments need no check and are not read here.
        columns.removeIf([](const ColumnDef &c) { return c.kind == ColumnDef::Binary; });
        QSqlQuery q(m_source.database());
        q.setForwardOnly(true);
        if (!m_source.run(q, m_source.translate(selectAll(m_source.backend(), table, columns)))) {
            fail(QStringLiteral("读取 %1 表失败：%2").arg(table, m_source.lastError()));
            return problems;
        }
        qint64 position = 0;
        while (q.next()) {
            ++position;
            const QString rowId = withId ? q.value(0).toString() : QString::number(position);
            for (int i = 0; i < columns.size(); ++i) {
                const ColumnDef &c = columns.at(i);
                const QVariant v = q.value(i);
                if (v.isNull())
                    continue;
                CopyProblem p{table, rowId, !withId, c.name};
                if (c.kind == ColumnDef::Text) {
                    const QString s = v.toString();
                    const int length = serverLength(target, s);
                    if (c.length > 0 && target != Backend::Sqlite && length > c.length) {
                        p.kind = CopyProblem::TooLong;
                        p.length = length;
                        p.limit = c.length;
                        problems << p;
                    } else if (target == Backend::PostgreSql && s.contains(QChar(0))) {
                        p.kind = CopyProblem::NulCharacter;
                        problems << p;
                    }
                } else if (c.kind == ColumnDef::Date) {
                    if (v.metaType().id() != QMetaType::QDate && !isDateText(v.toString())) {
                        p.kind = CopyProblem::NotADate;
                        problems << p;
                    }
                } else if (c.kind == ColumnDef::Integer && !isIntValue(v)) {
                    p.kind = CopyProblem::NotANumber;
                    problems << p;
                }
            }
        }
    }
    return problems;
}

bool DatabaseCopy::checkTarget(QStringList *found, bool *leftover)
{
    found->clear();
    *leftover = false;
    Recordset rs(m_target);
    if (!rs.open(QStringLiteral("SELECT table_name FROM information_schema.TABLES")))
        return fail(QStringLiteral("无法读取目标数据库的表：") + m_target.lastError());
    QStringList program;
    for (; !rs.eof(); rs.moveNext()) {
        const QString name = rs.text(0).toLower();
        if (name == QLatin1String(kIncompleteCopyTable))
            *leftover = true;
        else if (Schema::fixedTables().contains(name) || IsContractTableName(name))
            program << name;
    }
    if (*leftover || program.isEmpty())
        return true;
    program.sort();
    QMap<QString, qint64> counts;
    for (const QString &t : program) {
        if (!rs.open(QStringLiteral("select count(*) from ") + t))
            return fail(QStringLiteral("无法读取目标数据库的 %1 表：%2").arg(t, m_target.lastError()));
        counts[t] = rs.number(0);
    }
    // What cgsys-initdb leaves on an empty database: the five tables, the
    // administrator and one account set with its empty contract table.
    QStringList contract;
    for (const QString &t : program)
        if (IsContractTableName(t))
            contract << t;
    bool fresh = contract.size() == 1 && program.size() == 6 && counts.value(QStringLiteral("ztb")) == 1
        && counts.value(QStringLiteral("yhb")) == 1 && counts.value(contract.first()) == 0
        && counts.value(QStringLiteral("gysb")) == 0 && counts.value(QStringLiteral("jczlb")) == 0
        && counts.value(QStringLiteral("rzb")) == 0;
    if (fresh) {
        fresh = rs.open(QStringLiteral("select 引用合同表 from ztb")) && !rs.eof()
            && rs.text(0).toLower() == contract.first();
        fresh = fresh && rs.open(QStringLiteral("select 用户名 from yhb")) && !rs.eof()
            && rs.text(0) == QLatin1String(Schema::kAdminUser);
    }
    if (fresh)
        return true;
    for (const QString &t : program)
        *found << QStringLiteral("%1（%2 行）").arg(t).arg(counts.value(t));
    return fail(QStringLiteral("目标数据库中已有本系统的表：%1。只能迁移到没有本系统数据的数据库"
                               "（空数据库，或只由 cgsys-initdb 准备过的数据库）。")
                    .arg(found->join(QStringLiteral("、"))));
}

bool DatabaseCopy::cleanTarget()
{
    Recordset rs(m_target);
    if (!rs.open(QStringLiteral("SELECT table_name FROM information_schema.TABLES")))
        return fail(QStringLiteral("无法读取目标数据库的表：") + m_target.lastError());
    QStringList drop;
    for (; !rs.eof(); rs.moveNext()) {
        const QString name = rs.text(0).toLower();
        if (Schema::fixedTables().contains(name) || IsContractTableName(name))
            drop << name;
    }
    // The marker goes last, in the same unit: either everything is gone or
    // the target is still marked.
    drop << QLatin1String(kIncompleteCopyTable);
    const bool ok = inTransaction(m_target, [&] {
        for (const QString &t : drop)
            if (!m_target.execute(QStringLiteral("drop table ") + t))
                return false;
        return true;
    });
    return ok || fail(QStringLiteral("上次未完成的迁移无法清除：") + m_target.lastError());
}

bool DatabaseCopy::prepareTarget(int year, const QStringList &tables)
{
    const QString marker = QLatin1String(kIncompleteCopyTable);
    const bool marked = inTransaction(m_target, [&] {
        return m_target.execute(QStringLiteral("create table ") + marker
                                + QStringLiteral("(开始时间 nvarchar(30),来源 nvarchar(500))"))
            && m_target.execute(QStringLiteral("insert into ") + marker + QStringLiteral("(开始时间,来源) values(?,?)"),
                                {Clock::now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                 m_source.database().databaseName()});
    });
    if (!marked)
        return fail(QStringLiteral("目标数据库无法写入：") + m_target.lastError());
    // The tables as cgsys-initdb makes them, then without its first rows:
    // the source brings its own users and account sets.
    if (!Schema::initialise(m_target, year))
        return fail(QStringLiteral("目标数据库无法准备：") + m_target.lastError());
    const bool ready = inTransaction(m_target, [&] {
        Recordset rs(m_target);
        if (!rs.open(QStringLiteral("SELECT table_name FROM information_schema.TABLES")))
            return false;
        QStringList made;
        for (; !rs.eof(); rs.moveNext())
            if (IsContractTableName(rs.text(0)))
                made << rs.text(0).toLower();
        for (const QString &t : made)
            if (!m_target.execute(QStringLiteral("drop table ") + t))
                return false;
        if (!m_target.execute(QStringLiteral("delete from ztb")) || !m_target.execute(QStringLiteral("delete from yhb")))
            return false;
        for (const QString &t : tables)
            if (IsContractTableName(t) && !m_target.execute(Schema::createContractTableSql(t)))
                return false;
        return true;
    });
    return ready || fail(QStringLiteral("目标数据库无法准备：") + m_target.lastError());
}

qint64 DatabaseCopy::highestId(const QString &table)
{
    Recordset rs(m_source);
    qint64 high = 0;
    if (rs.open(QStringLiteral("select max(id) from ") + table))
        high = rs.number(0);
    // SQLite remembers ids handed out and deleted since; they stay used.
    if (m_source.backend() == Backend::Sqlite && m_source.tableExists(QStringLiteral("sqlite_sequence"))
        && rs.open(QStringLiteral("select seq from sqlite_sequence where name=?"), {table}) && !rs.eof())
        high = qMax(high, rs.number(0));
    return high;
}

namespace {

// Where the rows of a table go, a unit of work at a time: begin() once the
// unit is open, the values of each row through add() and endRow(), send()
// whenever full() says so, end() before the unit commits.
class RowWriter {
public:
    virtual ~RowWriter() = default;
    virtual bool begin() = 0;
    virtual void add(const ColumnDef &c, const QVariant &v) = 0;
    virtual void endRow() { ++m_pendingRows; }
    virtual bool full() const = 0;
    // Hands the rows held so far to the server.
    virtual bool send() = 0;
    virtual bool end() = 0;
    // Leaves a unit that failed, so that it can roll back.
    virtual void abandon() {}
    int pendingRows() const { return m_pendingRows; }
    qsizetype pendingBytes() const { return m_pendingBytes; }
    // The server's error, where the connection's own does not say it.
    QString error() const { return m_error; }

protected:
    void sent()
    {
        m_pendingRows = 0;
        m_pendingBytes = 0;
    }
    int m_pendingRows = 0;
    qsizetype m_pendingBytes = 0;
    QString m_error;
};

// Bytes held before the rows go out: a few attachments at most.
constexpr qsizetype kBatchBytes = 16 * 1024 * 1024;

// Multi-row inserts with the ids given, on SQL Server (and SQLite).
class InsertWriter final : public RowWriter {
public:
    InsertWriter(DbConnection &db, const QString &table, const QList<ColumnDef> &columns, int perStatement)
        : m_db(db), m_table(table), m_columns(columns), m_perStatement(perStatement),
          m_fullSql(db.translate(DatabaseCopy::insertStatement(table, columns, perStatement))), m_insert(db.database())
    {
        m_values.reserve(perStatement * columns.size());
    }
    bool begin() override { return true; }
    void add(const ColumnDef &c, const QVariant &v) override
    {
        m_values << boundValue(c, v);
        m_pendingBytes += valueBytes(m_values.constLast());
    }
    bool full() const override { return m_pendingRows == m_perStatement || m_pendingBytes >= kBatchBytes; }
    bool send() override
    {
        if (m_pendingRows == 0)
            return true;
        QSqlQuery rest(m_db.database());
        const bool ok = m_pendingRows == m_perStatement
            ? runFull()
            : m_db.run(rest, m_db.translate(DatabaseCopy::insertStatement(m_table, m_columns, m_pendingRows)), m_values);
        if (!ok)
            return false;
        m_values.clear();
        sent();
        return true;
    }
    bool end() override { return send(); }

private:
    // The full statement is prepared once and run again with new values.
    bool runFull()
    {
        if (!m_prepared) {
            m_prepared = true;
            return m_db.run(m_insert, m_fullSql, m_values);
        }
        for (int i = 0; i < m_values.size(); ++i)
            m_insert.bindValue(i, m_values.at(i));
        if (m_insert.exec())
            return true;
        m_error = DbConnection::withoutBoundValues(m_insert.lastError().text(), m_values);
        qCWarning(lcDb, "statement failed: %s -- %s", qUtf8Printable(m_fullSql), qUtf8Printable(m_error));
        return false;
    }
    DbConnection &m_db;
    const QString m_table;
    const QList<ColumnDef> m_columns;
    const int m_perStatement;
    const QString m_fullSql;
    QSqlQuery m_insert;
    bool m_prepared = false;
    QVariantList m_values;
};

// The connection under Qt's PostgreSQL driver. Its type is named after the
// struct behind libpq's typedef ("pg_conn*" with Debian's Qt).
PGconn *pgConnection(const QSqlDatabase &db)
{
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid()
        || (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn *const *>(handle.constData());
}

// The connection's message, without the server's "ERROR:" prefix.
QString pgMessage(const char *text)
{
    QString message = QString::fromUtf8(text).trimmed();
    if (message.startsWith(QLatin1String("ERROR:")))
        message = message.mid(6).trimmed();
    return message;
}

// A result's message: the primary text only. The detail and context of a
// COPY quote the row the server refused.
QString pgMessage(const PGresult *r, PGconn *conn)
{
    const char *primary = r ? PQresultErrorField(r, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    if (primary && *primary)
        return QString::fromUtf8(primary).trimmed();
    return pgMessage(r && *PQresultErrorMessage(r) ? PQresultErrorMessage(r) : PQerrorMessage(conn));
}

// COPY … FROM STDIN in text format: a line per row, the values split by
// tabs, \N for NULL, backslash, tab, newline and carriage return escaped,
// attachments as \\x and their bytes in hex. Texts go as UTF-8, which the
// driver has set as the connection's encoding.
class PgCopyWriter final : public RowWriter {
public:
    PgCopyWriter(PGconn *conn, const QString &table, const QList<ColumnDef> &columns)
        : m_conn(conn), m_sql((QStringLiteral("copy ") + table + u'(' + columnList(columns)
                               + QStringLiteral(") from stdin")).toUtf8())
    {
        m_buf.reserve(kSendBytes + 64 * 1024);
    }
    ~PgCopyWriter() override { abandon(); }

    bool begin() override
    {
        if (qstrcmp(pg_encoding_to_char(PQclientEncoding(m_conn)), "UTF8") != 0)
            return error(QStringLiteral("连接的字符集不是 UTF8（%1）")
                             .arg(QString::fromLatin1(pg_encoding_to_char(PQclientEncoding(m_conn)))));
        PGresult *r = PQexec(m_conn, m_sql.constData());
        const bool ok = PQresultStatus(r) == PGRES_COPY_IN;
        if (!ok)
            error(pgMessage(r, m_conn));
        PQclear(r);
        if (!ok) {
            drain();
            return false;
        }
        m_copying = true;
        m_column = 0;
        return true;
    }
    void add(const ColumnDef &c, const QVariant &v) override
    {
        if (m_column++)
            m_buf += '\t';
        if (v.isNull()) {
            m_buf += "\\N";
            return;
        }
        const qsizetype start = m_buf.size();
        switch (c.kind) {
        case ColumnDef::Text:
            appendText(v.toString());
            break;
        case ColumnDef::Integer: {
            char digits[24];
            const auto r = std::to_chars(digits, digits + sizeof digits, v.toLongLong());
            m_buf.append(digits, r.ptr - digits);
            break;
        }
        case ColumnDef::Date:
            // The precheck has made sure every date reads as 年-月-日.
            appendText(v.metaType().id() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate) : v.toString());
            break;
        case ColumnDef::Binary: {
            static constexpr char hex[] = "0123456789abcdef";
            const QByteArray b = v.toByteArray();
            m_buf += "\\\\x";
            const qsizetype at = m_buf.size();
            m_buf.resize(at + 2 * b.size());
            char *out = m_buf.data() + at;
            for (const char ch : b) {
                const auto u = static_cast<unsigned char>(ch);
                *out++ = hex[u >> 4];
                *out++ = hex[u & 15];
            }
            break;
        }
        }
        m_pendingBytes += m_buf.size() - start;
    }
    void endRow() override
    {
        m_buf += '\n';
        ++m_pendingBytes;
        ++m_pendingRows;
        m_column = 0;
    }
    bool full() const override { return m_buf.size() >= kSendBytes; }
    bool send() override
    {
        if (!m_buf.isEmpty() && PQputCopyData(m_conn, m_buf.constData(), int(m_buf.size())) != 1)
            return error(pgMessage(PQerrorMessage(m_conn)));
        m_buf.resize(0);
        sent();
        return true;
    }
    bool end() override
    {
        if (!send())
            return false;
        m_copying = false;
        if (PQputCopyEnd(m_conn, nullptr) != 1) {
            error(pgMessage(PQerrorMessage(m_conn)));
            drain();
            return false;
        }
        return drain();
    }
    void abandon() override
    {
        m_buf.resize(0);
        sent();
        if (!m_copying)
            return;
        m_copying = false;
        PQputCopyEnd(m_conn, "copy abandoned");
        drain();
    }

private:
    // Rows are sent in pieces of about this size.
    static constexpr qsizetype kSendBytes = 1024 * 1024;

    bool error(const QString &message)
    {
        if (m_error.isEmpty())
            m_error = message;
        qCWarning(lcDb, "copy failed: %s -- %s", m_sql.constData(), qUtf8Printable(message));
        return false;
    }
    // Reads the results up to the end of the command; false when one of
    // them is an error.
    bool drain()
    {
        bool ok = true;
        while (PGresult *r = PQgetResult(m_conn)) {
            const ExecStatusType status = PQresultStatus(r);
            if (status != PGRES_COMMAND_OK) {
                ok = error(pgMessage(r, m_conn));
                // A COPY still waiting for data cannot end otherwise.
                if (status == PGRES_COPY_IN)
                    PQputCopyEnd(m_conn, "copy abandoned");
            }
            PQclear(r);
            if (PQstatus(m_conn) == CONNECTION_BAD) {
                ok = error(pgMessage(PQerrorMessage(m_conn)));
                break;
            }
        }
        return ok;
    }
    void appendText(QStringView s)
    {
        const qsizetype start = m_buf.size();
        appendUtf8(m_buf, s);
        // Most texts hold nothing to escape; the others are written again.
        const char *p = m_buf.constData() + start;
        const char *const e = m_buf.constData() + m_buf.size();
        while (p < e && *p != '\\' && *p != '\t' && *p != '\n' && *p != '\r')
            ++p;
        if (p == e)
            return;
        const QByteArray raw = m_buf.sliced(start);
        m_buf.truncate(start);
        for (const char ch : raw) {
            switch (ch) {
            case '\\': m_buf += "\\\\"; break;
            case '\t': m_buf += "\\t"; break;
            case '\n': m_buf += "\\n"; break;
            case '\r': m_buf += "\\r"; break;
            default: m_buf += ch;
            }
        }
    }

    PGconn *const m_conn;
    const QByteArray m_sql;
    QByteArray m_buf;
    int m_column = 0;
    bool m_copying = false;
};

} // namespace

bool DatabaseCopy::copyTable(const QString &table)
{
    const QList<ColumnDef> columns = ProgramTableColumns(table);
    const Backend backend = m_target.backend();
    const bool withId = hasIdentity(columns);

    qint64 tableTotal = 0;
    {
        Recordset rs(m_source);
        if (!rs.open(QStringLiteral("select count(*) from ") + table))
            return fail(QStringLiteral("读取 %1 表失败：%2").arg(table, m_source.lastError()));
        tableTotal = rs.number(0);
    }
    QSqlQuery read(m_source.database());
    read.setForwardOnly(true);
    if (!m_source.run(read, m_source.translate(selectAll(m_source.backend(), table, columns))))
        return fail(QStringLiteral("读取 %1 表失败：%2").arg(table, m_source.lastError()));

    auto runAll = [&](const QStringList &statements) {
        for (const QString &s : statements) {
            QSqlQuery q(m_target.database());
            if (!m_target.run(q, s))
                return false;
        }
        return true;
    };
    if (withId && !runAll(beforeInserts(backend, table)))
        return fail(QStringLiteral("写入 %1 表失败：%2").arg(table, m_target.lastError()));

    // The unit is declared first: a COPY still open ends before it rolls back.
    std::optional<WriteUnit> unit;
    std::unique_ptr<RowWriter> writer;
    if (backend == Backend::PostgreSql) {
        PGconn *conn = pgConnection(m_target.database());
        if (!conn)
            return fail(QStringLiteral("写入 %1 表失败：无法取得服务器的连接").arg(table));
        writer = std::make_unique<PgCopyWriter>(conn, table, columns);
    } else {
        const int perStatement =
            qMax(1, qMin(m_rowsPerStatement, maxValuesPerStatement(backend) / int(columns.size())));
        writer = std::make_unique<InsertWriter>(m_target, table, columns, perStatement);
    }
    // The source's digest comes from the values as they are read for the
    // copy, in the same read transaction the verification used to read
    // them again; the server's side is read back on its own afterwards.
    TableDigest digest(withId);
    qint64 tableDone = 0;
    qint64 unitRows = 0;
    qsizetype unitBytes = 0;
    bool ok = true;

    auto send = [&] {
        const int rows = writer->pendingRows();
        const qsizetype bytes = writer->pendingBytes();
        if (!writer->send())
            return false;
        tableDone += rows;
        m_done += rows;
        unitRows += rows;
        unitBytes += bytes;
        return true;
    };
    while (ok) {
        const bool more = read.next();
        if (more) {
            if (!unit) {
                unit.emplace(m_target);
                if (!unit->isOpen() || !writer->begin()) {
                    ok = false;
                    break;
                }
            }
            for (int i = 0; i < columns.size(); ++i) {
                const QVariant v = read.value(i);
                digest.add(columns.at(i), v);
                writer->add(columns.at(i), v);
            }
            digest.endRow();
            writer->endRow();
        }
        if (writer->full() || (!more && writer->pendingRows() > 0))
            ok = send();
        if (ok && unit && (!more || unitRows >= m_rowsPerUnit || unitBytes >= 4 * kBatchBytes)) {
            ok = send() && writer->end() && unit->commit();
            unit.reset();
            unitRows = 0;
            unitBytes = 0;
            tell(QStringLiteral("复制"), table, tableDone, tableTotal);
            if (ok && cancelled())
                return false;
        }
        if (!more)
            break;
    }
    if (!ok) {
        writer->abandon();
        const QString error = unit ? unit->lastError() : QString();
        unit.reset();
        if (!writer->error().isEmpty())
            return fail(QStringLiteral("写入 %1 表失败：%2").arg(table, writer->error()));
        return fail(QStringLiteral("写入 %1 表失败：%2").arg(table, m_target.lastError().isEmpty() ? error : m_target.lastError()));
    }
    if (read.lastError().isValid())
        return fail(QStringLiteral("读取 %1 表失败：%2").arg(table, read.lastError().text()));
    if (withId && !(runAll(afterInserts(backend, table)) && runAll(identityStatements(backend, table, highestId(table)))))
        return fail(QStringLiteral("%1 表的编号无法设置：%2").arg(table, m_target.lastError()));
    TableCopy t;
    t.table = table;
    t.rows = tableDone;
    t.sourceDigest = digest.result();
    m_tables << t;
    tell(QStringLiteral("复制"), table, tableDone, tableTotal);
    return true;
}

namespace {

// The digest of a whole table as the target returns it.
bool tableDigest(DbConnection &db, const QString &table, QString *digest, qint64 *rows,
                 const std::function<bool(qint64)> &step)
{
    const QList<ColumnDef> columns = ProgramTableColumns(table);
    QSqlQuery q(db.database());
    q.setForwardOnly(true);
    if (!db.run(q, db.translate(selectAll(db.backend(), table, columns))))
        return false;
    TableDigest whole(hasIdentity(columns));
    *rows = 0;
    while (q.next()) {
        for (int i = 0; i < columns.size(); ++i)
            whole.add(columns.at(i), q.value(i));
        whole.endRow();
        ++*rows;
        if (*rows % 1000 == 0 && !step(1000))
            return false;
    }
    if (q.lastError().isValid())
        return false;
    step(*rows % 1000);
    *digest = whole.result();
    return true;
}

} // namespace

bool DatabaseCopy::verifyTable(TableCopy &t)
{
    qint64 tableDone = 0;
    auto step = [&](qint64 n) {
        tableDone += n;
        m_done += n;
        if (tableDone % 10000 < n)
            tell(QStringLiteral("校验"), t.table, tableDone, t.rows);
        return !cancelled();
    };
    qint64 sourceRows = -1, targetRows = 0;
    if (!tableDigest(m_target, t.table, &t.targetDigest, &targetRows, step))
        return cancelled() ? false : fail(QStringLiteral("校验时读取 %1 表失败：%2").arg(t.table, m_target.lastError()));
    tell(QStringLiteral("校验"), t.table, tableDone, t.rows);
    Recordset rs(m_source);
    if (rs.open(QStringLiteral("select count(*) from ") + t.table))
        sourceRows = rs.number(0);
    if (sourceRows != t.rows || targetRows != t.rows)
        return fail(QStringLiteral("校验未通过：%1 表复制了 %2 行，内置数据库有 %3 行，服务器上有 %4 行。")
                        .arg(t.table)
                        .arg(t.rows)
                        .arg(sourceRows)
                        .arg(targetRows));
    if (!t.verified())
        return fail(QStringLiteral("校验未通过：%1 表的数据与内置数据库不一致。").arg(t.table));
    return true;
}

DatabaseCopy::Outcome DatabaseCopy::run(int year)
{
    m_message.clear();
    m_problems.clear();
    m_tables.clear();
    m_done = 0;
    m_total = 0;
    if (!m_source.isConnected() || !m_target.isConnected()) {
        fail(QStringLiteral("数据库没有连接。"));
        return Outcome::Failed;
    }
    // One moment of the source for every step, verification included.
    QSqlDatabase source = m_source.database();
    if (!source.transaction()) {
        fail(QStringLiteral("内置数据库无法读取：") + m_source.lastError());
        return Outcome::Failed;
    }
    struct EndRead {
        QSqlDatabase db;
        ~EndRead() { db.rollback(); }
    } endRead{source};

    const QStringList tables = sourceTables();
    m_problems = precheck();
    if (!m_message.isEmpty())
        return Outcome::Failed;
    if (!m_problems.isEmpty()) {
        fail(QStringLiteral("内置数据库中有 %1 个值不能存入服务器，请先修改：").arg(m_problems.size()));
        return Outcome::Refused;
    }
    QStringList found;
    bool leftover = false;
    if (!checkTarget(&found, &leftover))
        return found.isEmpty() ? Outcome::Failed : Outcome::TargetNotEmpty;
    if (leftover && !cleanTarget())
        return Outcome::Failed;
    for (const QString &t : tables) {
        Recordset rs(m_source);
        if (!rs.open(QStringLiteral("select count(*) from ") + t)) {
            fail(QStringLiteral("读取 %1 表失败：%2").arg(t, m_source.lastError()));
            return Outcome::Failed;
        }
        m_total += 2 * rs.number(0);   // copied once, read back from the target
    }
    tell(QStringLiteral("准备"), QString(), 0, 0);
    if (!prepareTarget(year, tables))
        return Outcome::Failed;
    for (const QString &t : tables) {
        if (cancelled())
            break;
        if (!copyTable(t)) {
            if (!cancelled())
                return Outcome::Failed;
            fail(QStringLiteral("迁移已取消。"));
            return Outcome::Cancelled;
        }
    }
    if (cancelled()) {
        fail(QStringLiteral("迁移已取消。"));
        return Outcome::Cancelled;
    }
    QStringList contract;
    for (const QString &t : tables)
        if (IsContractTableName(t))
            contract << t;
    if (!Schema::ensureIndexes(m_target, contract)) {
        fail(QStringLiteral("服务器上的索引无法创建：") + m_target.lastError());
        return Outcome::Failed;
    }
    for (TableCopy &t : m_tables) {
        if (!verifyTable(t)) {
            if (cancelled()) {
                fail(QStringLiteral("迁移已取消。"));
                return Outcome::Cancelled;
            }
            return Outcome::Failed;
        }
    }
    const bool unmarked = inTransaction(
        m_target, [&] { return m_target.execute(QStringLiteral("drop table ") + QLatin1String(kIncompleteCopyTable)); });
    if (!unmarked) {
        fail(QStringLiteral("迁移标记无法清除：") + m_target.lastError());
        return Outcome::Failed;
    }
    return Outcome::Verified;
}

} // namespace cg
