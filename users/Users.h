#pragma once
// Users of yhb and their rights: the list, the rights of one user, adding,
// deleting, changing rights and passwords, and the protections of the
// administrator. No window here; the user windows bind their controls to it.

#include "ui/Seams.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace cg {
class DbConnection;

// One right that the user windows edit: its yhb column, the check box that
// edits it, the box's caption and the display label that shows it.
struct RightInfo {
    QString flag;       // yhb column, e.g. 审核
    QString checkBox;   // 选择框_审核
    QString caption;    // "审 核"
    QString label;      // 标签_审核
};

// The twelve edited rights in column order. 打印 is not among them (it always
// takes the value of 用户管理) nor 默认用户 (written '0' once, never edited).
const QList<RightInfo> &EditableRights();

// "审 核：√" or "审 核：×"; "审 核：" before any user is shown.
QString RightDisplayText(const RightInfo &right, bool granted);
QString RightBlankText(const RightInfo &right);

using RightSet = QSet<QString>;   // the flags granted

// A refusal: the message to show and its icon; empty text when allowed.
struct Refusal {
    QString text;
    MsgIcon icon = MsgIcon::Information;
    bool allowed() const { return text.isEmpty(); }
    static Refusal info(const QString &t) { return {t, MsgIcon::Information}; }
    static Refusal error(const QString &t) { return {t, MsgIcon::Error}; }
};

class Users {
public:
    static inline const QString kAdmin = QStringLiteral("admin");
    static inline const QString kModule = QStringLiteral("用户管理");
    static inline const QString kManageFlag = QStringLiteral("用户管理");
    static constexpr int kMaxPasswordLength = 18;

    // currentUser: the logged-in user, whose rights every check asks.
    Users(DbConnection &db, const QString &currentUser) : m_db(db), m_current(currentUser) {}
    // The rules on the main connection for the logged-in user.
    static Users current();

    // 用户名 of every row, in stored order.
    QStringList names() const;
    // The logged-in user holds the user-management right (asked afresh).
    bool currentUserManages() const;
    QString currentUser() const { return m_current; }

    // The server may compare names without regard to case or trailing
    // blanks ("Admin", "admin "). A name is acted on only when exactly one
    // row matches it and that row's name is the typed one to the letter.
    bool isExactlyOneUser(const QString &name) const;

    // The granted flags of a user (all fourteen columns, each read as a number
    // equal to 1). False when the query failed or the user does not exist.
    bool readRights(const QString &name, RightSet *granted) const;

    enum class AddOutcome { Added, Exists, Failed };
    // Inserts the user: digest of the password, the twelve rights, 打印 equal
    // to 用户管理 and 默认用户 '0'. The name test and the insert are one unit
    // of work, so two workstations adding one name store one row.
    AddOutcome add(const QString &name, const QString &password, const RightSet &granted);
    // Deletes the row; false when not exactly that one row went.
    bool remove(const QString &name);
    // Rewrites the twelve rights and 打印; 默认用户 stays. False when not
    // exactly one row changed.
    bool setRights(const QString &name, const RightSet &granted);
    // Stores the digest of the password (the name is never rewritten); false
    // when not exactly one row changed.
    bool setPassword(const QString &name, const QString &password);

    // The checks of each action, in their order, for the logged-in user.
    Refusal checkAdd() const;
    // The input checks of the new user window; the name test runs in add().
    Refusal checkNewUser(const QString &name, const QString &password, const QString &confirmation) const;
    static Refusal existsRefusal(const QString &name);
    Refusal checkDelete(const QString &selected) const;
    Refusal checkRights(const QString &selected) const;
    Refusal checkSaveRights(const QString &name) const;
    Refusal checkPasswordWindow(const QString &selected) const;

    // Change of a password from the password window.
    struct PasswordRequest {
        QString name;
        QString oldPassword;
        QString newPassword;
        QString confirmation;
    };
    enum class PasswordOutcome {
        Refused,    // an input check failed: show the refusal
        WrongOld,   // old password wrong: show the refusal, empty the boxes
        Failed,     // the update did not change exactly one row
        Changed
    };
    PasswordOutcome changePassword(const PasswordRequest &request, Refusal *refusal);

private:
    // One statement on the row of exactly that user, as a unit: false unless
    // the name matches one row to the letter and exactly one row changed.
    bool changeOneUser(const QString &name, const QString &sql, const QVariantList &values);
    DbConnection &m_db;
    QString m_current;
};

} // namespace cg
