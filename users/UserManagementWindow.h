#pragma once
// "砚禾澄屿合同管理系统--用户管理": the users and the rights of the selected one;
// from it the new user, rights and password windows.

#include "ui/Shell.h"

#include <QHash>
#include <QPointer>
#include <QSet>

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidget;

namespace cg {

class NewUserWindow;
class PasswordWindow;
class RightsWindow;

class UserManagementWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit UserManagementWindow(QWidget *owner = nullptr);

    // The name of the selected row, empty when none is selected.
    QString selectedName() const;
    void fillList();
    void showRights();

    void openPassword();   // 按钮_修改密码 / double-click
    void addUser();        // 按钮_新增
    void changeRights();   // 菜单 → 修改权限
    void deleteUser();     // 菜单 → 删除用户

    QMenu *contextMenu() const { return m_menu; }
    NewUserWindow *newUserWindow() const { return m_newUser; }
    RightsWindow *rightsWindow() const { return m_rights; }
    PasswordWindow *passwordWindow() const { return m_password; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showMenu(const QPoint &pos);

    QTreeWidget *m_list;
    QHash<QString, QLabel *> m_labels;
    QMenu *m_menu;
    QPointer<NewUserWindow> m_newUser;
    QPointer<RightsWindow> m_rights;
    QPointer<PasswordWindow> m_password;
};

// The twelve check boxes of the new user and rights windows.
class RightBoxes {
public:
    void build(QWidget *parent, QGridLayout *grid, int columns);
    void setAll(bool checked);
    void setGranted(const QSet<QString> &granted);
    QSet<QString> granted() const;

private:
    QHash<QString, QCheckBox *> m_boxes;
};

// "砚禾澄屿合同管理系统--新增用户", modal over the user management window.
class NewUserWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit NewUserWindow(UserManagementWindow *owner);
    void add();

private:
    QPointer<UserManagementWindow> m_owner;
    QLineEdit *m_name, *m_password, *m_confirmation;
    RightBoxes m_boxes;
};

// "用户权限修改", modal: the rights of the user selected in the list.
class RightsWindow : public ChildWindow {
    Q_OBJECT
public:
    RightsWindow(UserManagementWindow *owner, const QString &name);
    void save();

private:
    QPointer<UserManagementWindow> m_owner;
    QLineEdit *m_name;
    RightBoxes m_boxes;
};

// "砚禾澄屿合同管理系统--密码修改".
class PasswordWindow : public ChildWindow {
    Q_OBJECT
public:
    PasswordWindow(UserManagementWindow *owner, const QString &name);
    void change();

private:
    void clearPasswords();
    QLineEdit *m_name, *m_old, *m_new, *m_confirmation;
};

// The user management window, owned by owner.
QWidget *CreateUserManagementWindow(QWidget *owner);

} // namespace cg
