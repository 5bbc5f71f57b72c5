#pragma once
// The login, apart from the window: the order of its checks, the attempt
// counters and what a success fixes in the login context.

#include <QString>
#include <QStringList>

namespace cg {
class DbConnection;
struct LoginContext;

class LoginFlow {
public:
    enum class Outcome {
        NeedUser,         // "必须输入一个用户名或者选择一个用户名"
        NeedPassword,     // "必须输入密码才能登录系统！"
        NeedAccountSet,   // "请选择账套后再登录系统！"
        MissingTable,     // missingTableMessage(); then cancel
        WrongPassword,    // remaining() attempts left (0: no warning)
        TooManyFailures,  // third failure of the process: logged; then endProcess()
        Succeeded
    };
    struct Result {
        bool notThisYear = false;   // show the year notice first; the login goes on
        Outcome outcome = Outcome::NeedUser;
        QString missingTableMessage;
    };

    // remaining attempts start at 3 with every flow (one per login window).
    LoginFlow(DbConnection &db, LoginContext &login);

    QStringList userNames() const;         // 用户名 of every yhb row, in stored order
    QStringList accountSetNames() const;   // 账套名 of every ztb row, in stored order

    // One press of 登录: user and password as typed, the chosen set as
    // remembered in 账套/默认, year the current calendar year.
    Result attempt(const QString &user, const QString &password, const QString &chosenSet, int year);
    int remaining() const { return m_remaining; }

    // After a success: the prefix, the armed log check and the logged-in
    // mark; then, once the windows are open, the success entry.
    void completeSuccess();
    void logSuccess();
    // Ends the process at once after the third failure (connections stay open).
    static void endProcess();

    // The pieces, for the windows and tests that need one of them.
    bool accountSetIsOfYear(const QString &accountSet, int year) const;
    void loadAccountSet(const QString &accountSet);
    QString missingTableMessage(const QString &contractTable) const;
    QString contractPrefixOf(const QString &accountSet) const;

    // Failed attempts of this process (never reset).
    static int failedAttempts();
    static void resetFailedAttempts();   // tests only

private:
    DbConnection &m_db;
    LoginContext &m_login;
    int m_remaining = 3;
};

} // namespace cg
