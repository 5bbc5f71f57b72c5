#pragma once
// Process-wide state: the working folder and its files, the two database
// connections and, after a login, the login context.

#include "data/Db.h"

#include <QPointer>
#include <QString>
#include <memory>

class QWidget;

namespace cg {

struct LoginContext {
    QString userName;          // current user name
    QString accountSetName;    // current account-set name (ztb.账套名)
    QString chosenAccountSet;  // setting 账套/默认 when 登录 was pressed
    QString contractTable;     // ztb.引用合同表, e.g. htb3
    QString contractPrefix;    // ztb.合同编号, or "KQLM" when empty
    bool logCheckArmed = false;
    bool loggedIn = false;     // a login succeeded in this run

    bool isAdmin() const { return userName == QLatin1String("admin"); }
};

class AppContext {
public:
    // workFolder ends with '/'; it is created when missing.
    explicit AppContext(const QString &workFolder);
    ~AppContext();

    QString workFolder() const { return m_workFolder; }
    QString settingsPath() const { return m_workFolder + QStringLiteral("cgsys.pz"); }
    QString localDbPath() const { return m_workFolder + QStringLiteral("cgsys.dll"); }
    QString backgroundPath() const { return m_workFolder + QStringLiteral("底图"); }

    DbConnection &localDb() { return m_local; }   // 数据库连接_注册
    DbConnection &db() { return m_main; }         // 数据库连接
    LoginContext login;
    QPointer<QWidget> mainWindow;

private:
    QString m_workFolder;
    DbConnection m_local;
    DbConnection m_main;
};

// The current context; set while one exists.
AppContext &Ctx();
bool HasContext();

// The per-user application data folder followed by "wkd/".
QString DefaultWorkFolder();

// Settings file access (INI sections and keys in Chinese).
namespace Settings {
QString read(const QString &section, const QString &key, const QString &defaultValue = QString());
bool write(const QString &section, const QString &key, const QString &value);
}

} // namespace cg
