#include "data/DatabaseCopy.h"
#include "data/Db.h"
#include "data/Schema.h"
#include "data/Seams.h"

#include <QCryptographicHash>
#include <QDate>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QtEndian>
#include <algorithm>
#include <optional>

namespace cg {

namespace {

const QStringList &fixedTables()
{
    static const QStringList names = {QStringLiteral("ztb"), QStringLiteral("yhb"), QStringLiteral("gysb"),
                                      QStringLiteral("jczlb"), QStringLiteral("rzb")};
    return names;
}

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

// One value into the digest: a kind, the length and the bytes, so no two
// rows with different values can give the same stream.
void addValue(QCryptographicHash &hash, const ColumnDef &c, const QVariant &v)
{
    QByteArray bytes;
    char tag;
    if (v.isNull()) {
        tag = 'N';
    } else {
        switch (c.kind) {
        case ColumnDef::Text:
            tag = 'T';
            bytes = v.toString().toUtf8();
            break;
        case ColumnDef::Integer:
            tag = 'I';
            bytes = QByteArray::number(v.toLongLong());
            break;
        case ColumnDef::Date:
            tag = 'D';
            bytes = (v.metaType().id() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate) : v.toString()).toUtf8();
            break;
        case ColumnDef::Binary:
            tag = 'B';
            bytes = v.toByteArray();
            break;
        }
    }
    const quint64 length = qToLittleEndian(quint64(bytes.size()));
    hash.addData(QByteArrayView(&tag, 1));
    hash.addData(QByteArrayView(reinterpret_cast<const char *>(&length), sizeof length));
    hash.addData(bytes);
}

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

bool isDateText(const QString &s)
{
    return s.size() == 10 && QDate::fromString(s, QStringLiteral("yyyy-MM-dd")).isValid();
}

bool isIntValue(const QVariant &v)
{
    bool ok = false;
    const qlonglong n = v.toString().trimmed() == v.toString() ? v.toString().toLongLong(&ok) : 0;
    return ok && n >= std::numeric_limits<qint32>::min() && n <= std::numeric_limits<qint32>::max();
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
        else if (fixedTables().contains(name) || IsContractTableName(name))
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
        if (fixedTables().contains(name) || IsContractTableName(name))
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

bool DatabaseCopy::copyTable(const QString &table)
{
    const QList<ColumnDef> columns = ProgramTableColumns(table);
    const Backend backend = m_target.backend();
    const bool withId = hasIdentity(columns);
    const int perStatement =
        qMax(1, qMin(m_rowsPerStatement, maxValuesPerStatement(backend) / int(columns.size())));
    // Bytes held before the batch goes out: a few attachments at most.
    constexpr qsizetype kBatchBytes = 16 * 1024 * 1024;

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

    QVariantList values;
    values.reserve(perStatement * columns.size());
    // The full batch is prepared once and run again with new values.
    const QString fullSql = m_target.translate(insertStatement(table, columns, perStatement));
    QSqlQuery insert(m_target.database());
    QString insertError;
    bool prepared = false;
    auto runFull = [&] {
        if (!prepared) {
            prepared = true;
            return m_target.run(insert, fullSql, values);
        }
        for (int i = 0; i < values.size(); ++i)
            insert.bindValue(i, values.at(i));
        if (insert.exec())
            return true;
        insertError = DbConnection::withoutBoundValues(insert.lastError().text(), values);
        qCWarning(lcDb, "statement failed: %s -- %s", qUtf8Printable(fullSql), qUtf8Printable(insertError));
        return false;
    };
    int pendingRows = 0;
    qsizetype pendingBytes = 0;
    qint64 tableDone = 0;
    qint64 unitRows = 0;
    qsizetype unitBytes = 0;
    std::optional<WriteUnit> unit;
    bool ok = true;

    auto flush = [&] {
        if (pendingRows == 0)
            return true;
        QSqlQuery rest(m_target.database());
        const bool full = pendingRows == perStatement;
        const bool sent = full ? runFull()
                               : m_target.run(rest, m_target.translate(insertStatement(table, columns, pendingRows)),
                                              values);
        if (!sent)
            return false;
        tableDone += pendingRows;
        m_done += pendingRows;
        unitRows += pendingRows;
        unitBytes += pendingBytes;
        values.clear();
        pendingRows = 0;
        pendingBytes = 0;
        return true;
    };
    while (ok) {
        const bool more = read.next();
        if (more) {
            if (!unit) {
                unit.emplace(m_target);
                if (!unit->isOpen()) {
                    ok = false;
                    break;
                }
            }
            for (int i = 0; i < columns.size(); ++i) {
                values << boundValue(columns.at(i), read.value(i));
                pendingBytes += valueBytes(values.constLast());
            }
            ++pendingRows;
        }
        if (pendingRows == perStatement || pendingBytes >= kBatchBytes || (!more && pendingRows > 0))
            ok = flush();
        if (ok && unit && (!more || unitRows >= m_rowsPerUnit || unitBytes >= 4 * kBatchBytes)) {
            ok = unit->commit();
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
        const QString error = unit ? unit->lastError() : QString();
        unit.reset();
        if (!insertError.isEmpty())
            return fail(QStringLiteral("写入 %1 表失败：%2").arg(table, insertError));
        return fail(QStringLiteral("写入 %1 表失败：%2").arg(table, m_target.lastError().isEmpty() ? error : m_target.lastError()));
    }
    if (read.lastError().isValid())
        return fail(QStringLiteral("读取 %1 表失败：%2").arg(table, read.lastError().text()));
    if (withId && !(runAll(afterInserts(backend, table)) && runAll(identityStatements(backend, table, highestId(table)))))
        return fail(QStringLiteral("%1 表的编号无法设置：%2").arg(table, m_target.lastError()));
    TableCopy t;
    t.table = table;
    t.rows = tableDone;
    m_tables << t;
    tell(QStringLiteral("复制"), table, tableDone, tableTotal);
    return true;
}

namespace {

// The digest of a whole table as one side returns it. Tables with an id are
// read in id order; the others are taken as a set of rows (their order on a
// server is not the stored one), from the sorted digests of their rows.
bool tableDigest(DbConnection &db, const QString &table, QString *digest, qint64 *rows,
                 const std::function<bool(qint64)> &step)
{
    const QList<ColumnDef> columns = ProgramTableColumns(table);
    const bool ordered = hasIdentity(columns);
    QSqlQuery q(db.database());
    q.setForwardOnly(true);
    if (!db.run(q, db.translate(selectAll(db.backend(), table, columns))))
        return false;
    QCryptographicHash whole(QCryptographicHash::Sha256);
    QList<QByteArray> rowDigests;
    *rows = 0;
    while (q.next()) {
        if (ordered) {
            for (int i = 0; i < columns.size(); ++i)
                addValue(whole, columns.at(i), q.value(i));
        } else {
            QCryptographicHash row(QCryptographicHash::Sha256);
            for (int i = 0; i < columns.size(); ++i)
                addValue(row, columns.at(i), q.value(i));
            rowDigests << row.result();
        }
        ++*rows;
        if (*rows % 1000 == 0 && !step(1000))
            return false;
    }
    if (q.lastError().isValid())
        return false;
    step(*rows % 1000);
    std::sort(rowDigests.begin(), rowDigests.end());
    for (const QByteArray &d : rowDigests)
        whole.addData(d);
    *digest = QString::fromLatin1(whole.result().toHex());
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
            tell(QStringLiteral("校验"), t.table, tableDone, 2 * t.rows);
        return !cancelled();
    };
    qint64 sourceRows = 0, targetRows = 0;
    if (!tableDigest(m_source, t.table, &t.sourceDigest, &sourceRows, step))
        return cancelled() ? false : fail(QStringLiteral("校验时读取 %1 表失败：%2").arg(t.table, m_source.lastError()));
    if (!tableDigest(m_target, t.table, &t.targetDigest, &targetRows, step))
        return cancelled() ? false : fail(QStringLiteral("校验时读取 %1 表失败：%2").arg(t.table, m_target.lastError()));
    tell(QStringLiteral("校验"), t.table, tableDone, 2 * t.rows);
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
        m_total += 3 * rs.number(0);   // copied once, read back from both sides
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
