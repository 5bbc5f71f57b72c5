#include "app/Login.h"
#include "app/Program.h"
#include "data/AccountSetRecord.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "data/Password.h"
#include "data/Seams.h"

namespace cg {

namespace {
int g_failed = 0;

QStringList firstColumn(DbConnection &db, const QString &sql)
{
    QStringList out;
    Recordset rs(db);
    if (rs.open(sql))
        for (; !rs.eof(); rs.moveNext())
            out << rs.text(0);
    return out;
}
} // namespace

LoginFlow::LoginFlow(DbConnection &db, LoginContext &login) : m_db(db), m_login(login) {}

QStringList LoginFlow::userNames() const { return firstColumn(m_db, QStringLiteral("select * from yhb")); }
QStringList LoginFlow::accountSetNames() const { return firstColumn(m_db, QStringLiteral("select * from ztb")); }

int LoginFlow::failedAttempts() { return g_failed; }
void LoginFlow::resetFailedAttempts() { g_failed = 0; }

bool LoginFlow::accountSetIsOfYear(const QString &accountSet, int year) const
{
    const auto row = FindAccountSetRow(m_db, accountSet);
    return leadingInteger(row ? row->value(ZtbColumn::Name) : QString()) == year;
}

void LoginFlow::loadAccountSet(const QString &accountSet)
{
    const QStringList row = FindAccountSetRow(m_db, accountSet).value_or(QStringList());
    m_login.accountSetName = row.value(ZtbColumn::Name);
    m_login.contractTable = row.value(ZtbColumn::ContractTable);
}

QString LoginFlow::missingTableMessage(const QString &contractTable) const
{
    const struct {
        QString table;
        const char *message;
    } checks[] = {{contractTable, "合同关联的数据库表不存在，系统无法使用"},
                  {QStringLiteral("yhb"), "用户关联的数据库表不存在，系统无法使用"},
                  {QStringLiteral("gysb"), "供应商关联的数据库表不存在，系统无法使用"},
                  {QStringLiteral("jczlb"), "基础资料关联的数据库表不存在，系统无法使用"}};
    for (const auto &c : checks)
        if (!m_db.tableExists(c.table))
            return QString::fromUtf8(c.message);
    return {};
}

QString LoginFlow::contractPrefixOf(const QString &accountSet) const
{
    const QString prefix = FindAccountSetRow(m_db, accountSet).value_or(QStringList()).value(ZtbColumn::Prefix);
    return prefix.isEmpty() ? QStringLiteral("KQLM") : prefix;
}

LoginFlow::Result LoginFlow::attempt(const QString &user, const QString &password, const QString &chosenSet,
                                     int year)
{
    Result r;
    m_login.chosenAccountSet = chosenSet;
    r.notThisYear = !accountSetIsOfYear(chosenSet, year);
    if (user.isEmpty()) {
        r.outcome = Outcome::NeedUser;
        return r;
    }
    if (password.isEmpty()) {
        r.outcome = Outcome::NeedPassword;
        return r;
    }
    if (chosenSet.isEmpty()) {
        r.outcome = Outcome::NeedAccountSet;
        return r;
    }
    loadAccountSet(chosenSet);
    r.missingTableMessage = missingTableMessage(m_login.contractTable);
    if (!r.missingTableMessage.isEmpty()) {
        r.outcome = Outcome::MissingTable;
        return r;
    }
    // Taken before the check: the entry of a third failure names the user typed.
    m_login.userName = user;
    if (VerifyPassword(m_db, user, password)) {
        r.outcome = Outcome::Succeeded;
        return r;
    }
    --m_remaining;
    ++g_failed;
    qCInfo(lcApp, "login refused for user %s (attempt %d)", qUtf8Printable(user), g_failed);
    if (g_failed == 3) {
        WriteLogEntry(m_db, m_login.userName, QStringLiteral("结束"),
                      QStringLiteral("密码错误次数超出系统限制次数，被强制结束登录"), QStringLiteral("登录"));
        r.outcome = Outcome::TooManyFailures;
        return r;
    }
    r.outcome = Outcome::WrongPassword;
    return r;
}

void LoginFlow::completeSuccess()
{
    m_login.logCheckArmed = true;
    m_login.contractPrefix = contractPrefixOf(m_login.accountSetName);
    m_login.loggedIn = true;
}

void LoginFlow::logSuccess()
{
    WriteLogEntry(m_db, m_login.userName, QStringLiteral("操作记录"), QStringLiteral("登录成功，登录账套为：") + m_login.accountSetName,
                  QStringLiteral("登录"));
}

void LoginFlow::endProcess() { ProcessExit::exit(0, ProcessExit::Mode::Immediate); }

} // namespace cg
