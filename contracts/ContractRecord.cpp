#include "contracts/ContractRecord.h"
#include "data/SqlDialect.h"
#include "data/AccountSetRecord.h"

#include "data/Db.h"

#include <QRegularExpression>
#include <QSet>
#include <QTextCodec>

namespace cg {

const QStringList &ContractColumns()
{
    static const QStringList columns = {
        QStringLiteral("单据状态"),   QStringLiteral("合同编号"),   QStringLiteral("合同子编号"),
        QStringLiteral("申请人"),     QStringLiteral("申请部门"),   QStringLiteral("采购员"),
        QStringLiteral("供应商"),     QStringLiteral("产品"),       QStringLiteral("设备数量"),
        QStringLiteral("计量单位"),   QStringLiteral("制单日期"),   QStringLiteral("生效日期"),
        QStringLiteral("失效日期"),   QStringLiteral("合同金额"),   QStringLiteral("付款方式"),
        QStringLiteral("第一次付款"), QStringLiteral("第二次付款"), QStringLiteral("第三次付款"),
        QStringLiteral("第四次付款"), QStringLiteral("剩余尾款"),   QStringLiteral("税率"),
        QStringLiteral("附件"),
    };
    return columns;
}

QString LineSubNumber(const QString &number, int line)
{
    return number + QString::number(50 + 2 * line);
}

namespace {

// C's atof: leading blanks, an optional sign, digits with one optional point,
// an optional exponent; it stops at the first character that cannot go on.
// Read by hand because strtod follows the process locale's decimal mark.
double leadingNumber(const QString &text)
{
    int i = 0;
    const int n = text.size();
    auto digit = [&](int at) { return at < n && text[at] >= u'0' && text[at] <= u'9'; };
    while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' || text[i] == u'\r'
                     || text[i] == u'\v' || text[i] == u'\f'))
        ++i;
    const int start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    bool any = false;
    while (digit(i)) {
        ++i;
        any = true;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (digit(i)) {
            ++i;
            any = true;
        }
    }
    if (!any)
        return 0;
    int end = i;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        int j = i + 1;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        if (digit(j)) {
            while (digit(j))
                ++j;
            end = j;
        }
    }
    bool ok = false;
    const double value = text.mid(start, end - start).toDouble(&ok);
    return ok ? value : 0;
}

// The last four bytes of the number as the program has always stored it
// (GBK), read as C's atoi reads them.
qint64 sequenceOf(const QString &number)
{
    static QTextCodec *gbk = QTextCodec::codecForName("GBK");
    const QByteArray bytes = gbk ? gbk->fromUnicode(number) : number.toUtf8();
    // Bytes above 127 are no digits: as Latin-1 they stop the read as well.
    return leadingInteger(QString::fromLatin1(bytes.right(4)));
}

bool plainIdentifier(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(name).hasMatch();
}

} // namespace

QString RemainingBalance(const QString &total, const QString &first, const QString &second,
                         const QString &third, const QString &fourth)
{
    const double rest = leadingNumber(total)
        - (leadingNumber(first) + leadingNumber(second) + leadingNumber(third) + leadingNumber(fourth));
    return QString::asprintf("%.13g", rest);
}

ContractStore::ContractStore(DbConnection &db, const QString &table, const QString &accountSet)
    : m_db(db), m_table(plainIdentifier(table) ? table : QString()), m_set(accountSet)
{
}

QString ContractStore::prefix() const
{
    // Read at every call: a prefix changed in the configuration applies to
    // the next number at once.
    return FindAccountSetRow(m_db, m_set).value_or(QStringList()).value(ZtbColumn::Prefix);
}

QString ContractStore::nextNumber() const
{
    const QString head = prefix();
    QSet<QString> taken;
    qint64 base = 0;
    if (!m_table.isEmpty()) {
        Recordset rs(m_db);
        // The last row in insertion order gives the sequence.
        if (rs.open(QStringLiteral("select 合同编号 from ") + m_table + QStringLiteral(" order by id"))) {
            QString last;
            for (; !rs.eof(); rs.moveNext()) {
                last = rs.text(0);
                taken.insert(last);
            }
            base = sequenceOf(last);
        }
    }
    for (qint64 k = 1;; ++k) {
        const QString candidate = head + QString::asprintf("%04lld", base + k);
        if (taken.contains(candidate))
            continue;
        // The server may see two numbers as equal that differ here (letter
        // case, trailing blanks): it has the last word.
        if (numberExists(candidate)) {
            taken.insert(candidate);
            continue;
        }
        return candidate;
    }
}

bool ContractStore::numberExists(const QString &number, bool *ok) const
{
    return exists(QStringLiteral("合同编号"), number, false, ok);
}

bool ContractStore::numberExistsForInsert(const QString &number, bool *ok) const
{
    return exists(QStringLiteral("合同编号"), number, true, ok);
}

bool ContractStore::subNumberExistsForInsert(const QString &subNumber, bool *ok) const
{
    return exists(QStringLiteral("合同子编号"), subNumber, true, ok);
}

bool ContractStore::exists(const QString &column, const QString &value, bool forInsert, bool *ok) const
{
    if (ok)
        *ok = false;
    if (m_table.isEmpty())
        return false;
    // SQL Server: an update lock held to the end of the unit, over the range
    // the condition covers, so a second workstation's check waits for it.
    const QString hint = forInsert && m_db.backend() == Backend::SqlServer
        ? QStringLiteral(" with (updlock, holdlock)")
        : QString();
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select top 1 ") + column + QStringLiteral(" from ") + m_table + hint
                     + QStringLiteral(" where ") + column + QStringLiteral("=?"),
                 {value}))
        return false;
    if (ok)
        *ok = true;
    return !rs.eof();
}

bool ContractStore::hasAttachment(const QString &number) const
{
    // Measured by the server: the list asks for every contract it shows.
    if (m_table.isEmpty())
        return false;
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select ") + SqlDialect::byteLength(m_db.backend(), QStringLiteral("附件"))
                     + QStringLiteral(" from ") + m_table + QStringLiteral(" where id=(select min(id) from ")
                     + m_table + QStringLiteral(" where 合同编号=?)"),
                 {number}))
        return false;
    return !rs.eof() && rs.number(0) > 0;
}

QByteArray ContractStore::attachment(const QString &number, bool *ok) const
{
    if (ok)
        *ok = false;
    if (m_table.isEmpty())
        return {};
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select top 1 合同编号,附件 from ") + m_table
                     + QStringLiteral(" where 合同编号=? order by id"),
                 {number}))
        return {};
    if (ok)
        *ok = true;
    return rs.bytes(QStringLiteral("附件"));
}

QString ContractStore::numberOfRow(qint64 id) const
{
    if (m_table.isEmpty())
        return {};
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select 合同编号 from ") + m_table + QStringLiteral(" where id=?"), {id}))
        return {};
    return rs.text(0);
}

bool ContractStore::insertRow(const ContractRow &row)
{
    if (m_table.isEmpty())
        return false;
    const QStringList columns = ContractColumns().mid(0, 21);
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    const QVariantList values = {row.state,        row.number,        row.subNumber,  row.requester,
                                 row.department,   row.buyer,         row.supplier,   row.product,
                                 row.quantity,     row.unit,          row.documentDate, row.effectiveDate,
                                 row.expiryDate,   row.amount,        row.paymentTerms, row.first,
                                 row.second,       row.third,         row.fourth,     row.remaining,
                                 row.taxRate};
    if (!m_db.execute(QStringLiteral("insert into ") + m_table + QLatin1Char('(') + columns.join(QLatin1Char(','))
                          + QStringLiteral(") values (") + marks.join(QLatin1Char(',')) + QLatin1Char(')'),
                      values))
        return false;
    return m_db.rowsAffected() == 1;
}

bool ContractStore::writeAttachment(const QString &number, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return true;
    if (m_table.isEmpty())
        return false;
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select top 1 id from ") + m_table + QStringLiteral(" where 合同编号=? order by id"),
                 {number})
        || rs.eof())
        return false;
    const QVariant id = rs.value(0);
    rs.close();
    if (!m_db.execute(QStringLiteral("update ") + m_table + QStringLiteral(" set 附件=? where id=?"), {bytes, id}))
        return false;
    return m_db.rowsAffected() == 1;
}

bool ContractStore::clearAttachment(const QString &number)
{
    if (m_table.isEmpty())
        return false;
    // An empty value, not NULL: the byte array must not be a null one.
    const QByteArray empty("");
    return m_db.execute(QStringLiteral("update ") + m_table + QStringLiteral(" set 附件=? where 合同编号=?"),
                        {empty, number});
}

} // namespace cg
