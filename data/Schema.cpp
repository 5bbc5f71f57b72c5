#include "data/Schema.h"
#include "data/Db.h"
#include "data/Password.h"
#include "data/SqlDialect.h"

#include <QSet>
#include <QSqlQuery>

namespace cg::Schema {

const QStringList &permissionFlags()
{
    static const QStringList flags = {
        QStringLiteral("审核"),   QStringLiteral("反审"),       QStringLiteral("变更"),
        QStringLiteral("修改"),   QStringLiteral("删除"),       QStringLiteral("导出"),
        QStringLiteral("导入"),   QStringLiteral("打印"),       QStringLiteral("供应商录入"),
        QStringLiteral("合同录入"), QStringLiteral("基础资料新增"), QStringLiteral("日志"),
        QStringLiteral("默认用户"), QStringLiteral("用户管理")};
    return flags;
}

QString contractTableColumns()
{
    return QStringLiteral(
        "(id int IDENTITY (1,1) PRIMARY KEY,单据状态 nvarchar(50) not null,合同编号 nvarchar(50) not null,"
        "合同子编号 nvarchar(50) not null,申请人 nvarchar(50) not null,申请部门 nvarchar(100) not null,"
        "采购员 nvarchar(50) not null,供应商 nvarchar(200) not null,产品 nvarchar(200) not null,"
        "设备数量 nvarchar(50) not null,计量单位 nvarchar(50) not null, 制单日期 date not null,"
        "生效日期 date not null,失效日期 date not null,合同金额 nvarchar(200) not null,"
        "付款方式 nvarchar(100) not null,第一次付款 nvarchar(200),第二次付款 nvarchar(200),"
        "第三次付款 nvarchar(200),第四次付款 nvarchar(200),剩余尾款 nvarchar(200),"
        "税率 nvarchar(50) not null,附件 image)");
}

QString createContractTableSql(const QString &table)
{
    return QStringLiteral("create table ") + table + contractTableColumns();
}

namespace {

struct TableDef {
    const char *name;
    QString columns;
};

QList<TableDef> tableDefs()
{
    QString flags;
    for (const QString &f : permissionFlags())
        flags += QStringLiteral(",") + f + QStringLiteral(" nvarchar(10)");
    return {
        {"ztb", QStringLiteral("(账套名 nvarchar(100) not null,隶属部门 nvarchar(200),备注 nvarchar(500),"
                               "引用合同表 nvarchar(20) not null,合同编号 nvarchar(50),日志数 int,"
                               "默认启动 nvarchar(10),账套年份 nvarchar(10))")},
        {"yhb", QStringLiteral("(用户名 nvarchar(50) not null,密码 nvarchar(50)") + flags
                    + QStringLiteral(")")},
        {"gysb", QStringLiteral("(单据状态 nvarchar(50),名称 nvarchar(200),电话 nvarchar(100),"
                                "联系人 nvarchar(100),地址 nvarchar(500),税率 nvarchar(50),"
                                "付款方式 nvarchar(100))")},
        {"jczlb", QStringLiteral("(申请部门 nvarchar(200),采购员 nvarchar(200),计量单位 nvarchar(200),"
                                 "付款方式 nvarchar(200),申请人 nvarchar(200),税率 nvarchar(200))")},
        {"rzb", QStringLiteral("(id int IDENTITY (1,1) PRIMARY KEY,过滤日期 nvarchar(20),日期 nvarchar(30),"
                               "用户 nvarchar(50),操作模块 nvarchar(100),状态 nvarchar(50),"
                               "内容描述 nvarchar(4000),机器名 nvarchar(255),IP地址 nvarchar(64))")},
    };
}

QString insertAdminSql()
{
    QString cols = QStringLiteral("用户名,密码");
    QString marks = QStringLiteral("?,?");
    for (const QString &f : permissionFlags()) {
        cols += QLatin1Char(',') + f;
        marks += QStringLiteral(",?");
    }
    return QStringLiteral("insert into yhb(") + cols + QStringLiteral(") values(") + marks
        + QStringLiteral(")");
}

QVariantList adminValues()
{
    QVariantList v{QString::fromLatin1(kAdminUser), PasswordDigest(QString::fromLatin1(kAdminInitialPassword))};
    for (const QString &f : permissionFlags())
        v << (f == QStringLiteral("默认用户") ? QStringLiteral("0") : QStringLiteral("1"));
    return v;
}

const QString kContractNumberColumn = QStringLiteral("合同编号");
const QString kSubNumberColumn = QStringLiteral("合同子编号");
const QString kLogDateColumn = QStringLiteral("过滤日期");

bool createIndex(DbConnection &db, const QString &index, const QString &table, const QString &column)
{
    const SqlDialect::Statement st = SqlDialect::createIndexIfMissing(db.backend(), index, table, column);
    if (st.sql.isEmpty()) {
        qCWarning(lcDb, "no index on %s: not a plain table name", qUtf8Printable(table));
        return false;
    }
    QSqlQuery q(db.database());
    return db.run(q, st.sql, st.params);
}

// The statement with its values written in as national literals, for the
// script that is run by other tools.
QString withLiterals(const SqlDialect::Statement &st)
{
    QString out;
    int next = 0;
    for (const SqlDialect::Token &t : SqlDialect::tokenize(st.sql)) {
        const QStringView piece = QStringView(st.sql).mid(t.start, t.length);
        if (t.kind == SqlDialect::Token::Other && piece == u"?" && next < st.params.size())
            out += QLatin1Char('N') + SqlDialect::quoted(st.params.at(next++).toString());
        else
            out += piece;
    }
    return out;
}

const char *kInsertAccountSet =
    "insert into ztb(账套名,隶属部门,备注,引用合同表,合同编号,日志数,默认启动,账套年份) "
    "values(?,?,?,?,?,?,'False',?)";

} // namespace

const QStringList &fixedTables()
{
    static const QStringList names = {QStringLiteral("ztb"), QStringLiteral("yhb"), QStringLiteral("gysb"),
                                      QStringLiteral("jczlb"), QStringLiteral("rzb")};
    return names;
}

QStringList fixedTableStatements()
{
    QStringList out;
    for (const auto &t : tableDefs())
        out << QStringLiteral("create table ") + QLatin1String(t.name) + t.columns;
    return out;
}

QString setupScript()
{
    QString s;
    s += QStringLiteral("-- 砚禾澄屿合同管理系统: shared database setup (SQL Server).\r\n"
                        "-- Creates the five fixed tables, the administrator \"admin\" (initial password %1)\r\n"
                        "-- a first account set with its contract table, and the indexes. Safe to run again.\r\n\r\n")
             .arg(QLatin1String(kAdminInitialPassword));
    for (const auto &t : tableDefs()) {
        s += QStringLiteral("IF NOT EXISTS (SELECT table_name FROM information_schema.TABLES WHERE table_name = N'%1')\r\n")
                 .arg(QLatin1String(t.name));
        s += QStringLiteral("    create table ") + QLatin1String(t.name) + t.columns + QStringLiteral(";\r\nGO\r\n\r\n");
    }
    QString cols = QStringLiteral("用户名,密码");
    QString vals;
    const QVariantList av = adminValues();
    for (const QString &f : permissionFlags())
        cols += QLatin1Char(',') + f;
    for (const QVariant &v : av)
        vals += (vals.isEmpty() ? QString() : QStringLiteral(",")) + QStringLiteral("N'") + v.toString() + QLatin1Char('\'');
    s += withLiterals(SqlDialect::createIndexIfMissing(Backend::SqlServer, logIndexName(), QStringLiteral("rzb"),
                                                      kLogDateColumn))
        + QStringLiteral(";\r\nGO\r\n\r\n");
    s += QStringLiteral("IF NOT EXISTS (SELECT 用户名 FROM yhb WHERE 用户名 = N'admin')\r\n    insert into yhb(")
        + cols + QStringLiteral(") values(") + vals + QStringLiteral(");\r\nGO\r\n\r\n");
    s += QStringLiteral("IF NOT EXISTS (SELECT 账套名 FROM ztb)\r\nBEGIN\r\n"
                        "    DECLARE @year nvarchar(10) = CAST(YEAR(GETDATE()) AS nvarchar(10));\r\n"
                        "    insert into ztb(账套名,隶属部门,备注,引用合同表,合同编号,日志数,默认启动,账套年份) "
                        "values(@year + N'年度',N'',N'',N'htb1',N'KQLM',N'50000',N'False',@year);\r\n");
    s += QStringLiteral("    IF NOT EXISTS (SELECT table_name FROM information_schema.TABLES WHERE table_name = N'htb1')\r\n"
                        "        EXEC(N'") + createContractTableSql(QStringLiteral("htb1")) + QStringLiteral("');\r\nEND\r\nGO\r\n\r\n");
    // The indexes of every account set's contract table, named as
    // contractIndexName() and contractSubNumberIndexName() name them.
    s += QStringLiteral(
        "DECLARE @table nvarchar(128), @index nvarchar(128), @sql nvarchar(max);\r\n"
        "DECLARE contract_tables CURSOR LOCAL FAST_FORWARD FOR SELECT 引用合同表 FROM ztb;\r\n"
        "OPEN contract_tables;\r\n"
        "FETCH NEXT FROM contract_tables INTO @table;\r\n"
        "WHILE @@FETCH_STATUS = 0\r\n"
        "BEGIN\r\n"
        "    SET @index = N'ix_' + @table + N'_合同编号';\r\n"
        "    IF OBJECT_ID(@table, N'U') IS NOT NULL\r\n"
        "        AND NOT EXISTS (SELECT * FROM sys.indexes WHERE name = @index AND object_id = OBJECT_ID(@table))\r\n"
        "    BEGIN\r\n"
        "        SET @sql = N'create index ' + QUOTENAME(@index) + N' on ' + QUOTENAME(@table) + N'(合同编号)';\r\n"
        "        EXEC(@sql);\r\n"
        "    END\r\n"
        "    SET @index = N'ix_' + @table + N'_合同子编号';\r\n"
        "    IF OBJECT_ID(@table, N'U') IS NOT NULL\r\n"
        "        AND NOT EXISTS (SELECT * FROM sys.indexes WHERE name = @index AND object_id = OBJECT_ID(@table))\r\n"
        "    BEGIN\r\n"
        "        SET @sql = N'create index ' + QUOTENAME(@index) + N' on ' + QUOTENAME(@table) + N'(合同子编号)';\r\n"
        "        EXEC(@sql);\r\n"
        "    END\r\n"
        "    FETCH NEXT FROM contract_tables INTO @table;\r\n"
        "END\r\n"
        "CLOSE contract_tables;\r\n"
        "DEALLOCATE contract_tables;\r\n"
        "GO\r\n");
    return s;
}

QByteArray setupScriptFile()
{
    return QByteArray("\xEF\xBB\xBF") + setupScript().toUtf8();
}

QString logIndexName()
{
    return QStringLiteral("ix_rzb_") + kLogDateColumn;
}

QString contractIndexName(const QString &table)
{
    return QStringLiteral("ix_") + table + QLatin1Char('_') + kContractNumberColumn;
}

QString contractSubNumberIndexName(const QString &table)
{
    return QStringLiteral("ix_") + table + QLatin1Char('_') + kSubNumberColumn;
}

QStringList contractTables(DbConnection &db)
{
    QStringList tables;
    Recordset rs(db);
    if (rs.open(QStringLiteral("select 引用合同表 from ztb")))
        for (; !rs.eof(); rs.moveNext())
            if (!rs.text(0).isEmpty() && !tables.contains(rs.text(0), Qt::CaseInsensitive))
                tables << rs.text(0);
    return tables;
}

bool ensureIndexes(DbConnection &db, const QStringList &contractTables)
{
    bool ok = true;
    if (db.tableExists(QStringLiteral("rzb")))
        ok = createIndex(db, logIndexName(), QStringLiteral("rzb"), kLogDateColumn) && ok;
    for (const QString &table : contractTables) {
        if (!SqlDialect::isPlainIdentifier(table)) {
            qCWarning(lcDb, "no index on %s: not a plain table name", qUtf8Printable(table));
            ok = false;
            continue;
        }
        if (db.tableExists(table)) {
            ok = createIndex(db, contractIndexName(table), table, kContractNumberColumn) && ok;
            ok = createIndex(db, contractSubNumberIndexName(table), table, kSubNumberColumn) && ok;
        }
    }
    return ok;
}

bool createAccountSet(DbConnection &db, const QString &name, const QString &department,
                      const QString &remark, const QString &table, const QString &prefix,
                      const QString &year)
{
    // An empty department or remark is stored as the empty text, never NULL.
    const auto text = [](const QString &v) { return v.isNull() ? QStringLiteral("") : v; };
    return inTransaction(db, [&] {
        return db.execute(QString::fromUtf8(kInsertAccountSet),
                          {name, text(department), text(remark), table, prefix, QStringLiteral("50000"), year})
            && db.execute(createContractTableSql(table))
            && createIndex(db, contractIndexName(table), table, kContractNumberColumn)
            && createIndex(db, contractSubNumberIndexName(table), table, kSubNumberColumn);
    });
}

QString freeContractTableName(DbConnection &db)
{
    QSet<QString> used;
    Recordset rs(db);
    if (rs.open(QStringLiteral("select 引用合同表 from ztb")))
        for (; !rs.eof(); rs.moveNext())
            used.insert(rs.text(0).toLower());
    for (int i = 1; i <= 1000; ++i) {
        const QString name = QStringLiteral("htb%1").arg(i);
        if (!used.contains(name) && !db.tableExists(name))
            return name;
    }
    return {};
}

bool initialise(DbConnection &db, int year)
{
    return inTransaction(db, [&] {
        for (const auto &t : tableDefs()) {
            const QString name = QLatin1String(t.name);
            if (!db.tableExists(name)
                && !db.execute(QStringLiteral("create table ") + name + t.columns))
                return false;
        }
        Recordset rs(db);
        if (!rs.open(QStringLiteral("select 用户名 from yhb where 用户名=?"), {QString::fromLatin1(kAdminUser)}))
            return false;
        if (rs.eof() && !db.execute(insertAdminSql(), adminValues()))
            return false;
        if (!rs.open(QStringLiteral("select 账套名 from ztb")))
            return false;
        if (rs.eof()) {
            const QString table = freeContractTableName(db);
            if (table.isEmpty()
                || !createAccountSet(db, QStringLiteral("%1年度").arg(year), QString(), QString(),
                                     table, QStringLiteral("KQLM"), QString::number(year)))
                return false;
        }
        return ensureIndexes(db, contractTables(db));
    });
}

} // namespace cg::Schema
