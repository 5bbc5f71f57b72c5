#pragma once
// Users of yhb and their rights: the list, the rights of one user, adding,
// deleting, changing rights and passwords, and the protections of the
// administrator. No window here; the user windows bind their controls to it.

#include "app/Seams.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

namespace cg {

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

namespace Users {

inline const QString kAdmin = QStringLiteral("admin");
inline const QString kModule = QStringLiteral("用户管理");
inline const QString kManageFlag = QStringLiteral("用户管理");
inline constexpr int kMaxPasswordLength = 18;

// 用户名 of every row, in stored order.
QStringList names();
// The logged-in user holds the user-management right (asked afresh).
bool currentUserManages();
QString currentUser();

// The granted flags of a user (all fourteen columns, each read as a number
// equal to 1). False when the query failed or the user does not exist.
bool readRights(const QString &name, RightSet *granted);

// Inserts the user: digest of the password, the twelve rights, 打印 equal to
// 用户管理 and 默认用户 '0'.
bool add(const QString &name, const QString &password, const RightSet &granted);
// Deletes the row; false when nothing was deleted.
bool remove(const QString &name);
// Rewrites the twelve rights and 打印; 默认用户 stays. False when no row changed.
bool setRights(const QString &name, const RightSet &granted);
// Stores the digest of the password; false when no row changed.
bool setPassword(const QString &name, const QString &password);

// The checks of each action, in their order, for the logged-in user.
Refusal checkAdd();
Refusal checkNewUser(const QString &name, const QString &password, const QString &confirmation);
Refusal checkDelete(const QString &selected);
Refusal checkRights(const QString &selected);
Refusal checkSaveRights(const QString &name);
Refusal checkPasswordWindow(const QString &selected);

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
    Failed,     // the update did not change a row
    Changed
};
PasswordOutcome changePassword(const PasswordRequest &request, Refusal *refusal);

} // namespace Users
} // namespace cg
