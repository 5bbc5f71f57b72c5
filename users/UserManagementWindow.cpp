#include "users/UserManagementWindow.h"
#include "ui/Shell.h"
#include "data/ListTargets.h"
#include "ui/Keys.h"
#include "ui/Seams.h"
#include "data/OperationLog.h"
#include "users/Users.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace cg {

namespace {
void tell(const Refusal &r, QWidget *owner) { ShowMessage(r.text, QString(), r.icon, owner); }

void logAction(const QString &description)
{
    WriteLogEntry(QStringLiteral("操作"), description, Users::kModule);
}

QLineEdit *edit(const QString &name, QWidget *parent, bool password)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    if (password) {
        e->setEchoMode(QLineEdit::Password);
        e->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));   // '*'
        e->setMaxLength(Users::kMaxPasswordLength);
    }
    return e;
}

// A window opened from the user management window: owned by it, so it goes
// when that window goes.
void makeOwned(QWidget *w)
{
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setWindowFlag(Qt::Window, true);
}

} // namespace

// ---------------------------------------------------------------- RightBoxes

void RightBoxes::build(QWidget *parent, QGridLayout *grid, int columns)
{
    int i = 0;
    for (const RightInfo &r : EditableRights()) {
        auto *box = new QCheckBox(r.caption, parent);
        box->setObjectName(r.checkBox);
        m_boxes.insert(r.flag, box);
        grid->addWidget(box, i / columns, i % columns);
        ++i;
    }
}

void RightBoxes::setAll(bool checked)
{
    for (QCheckBox *b : std::as_const(m_boxes))
        b->setChecked(checked);
}

void RightBoxes::setGranted(const QSet<QString> &granted)
{
    for (auto it = m_boxes.constBegin(); it != m_boxes.constEnd(); ++it)
        it.value()->setChecked(granted.contains(it.key()));
}

QSet<QString> RightBoxes::granted() const
{
    QSet<QString> out;
    for (auto it = m_boxes.constBegin(); it != m_boxes.constEnd(); ++it)
        if (it.value()->isChecked())
            out.insert(it.key());
    return out;
}

// ------------------------------------------------------ UserManagementWindow

UserManagementWindow::UserManagementWindow(QWidget *owner)
    : ChildWindow(QStringLiteral("用户管理"), Users::kModule, QStringLiteral("打开用户管理窗口"),
                  QStringLiteral("关闭用户管理窗口"), owner)
{
    setObjectName(QStringLiteral("用户管理窗口"));
    resize(470, 290);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("超级列表框_用户列表"));
    m_list->setHeaderLabels({QStringLiteral("用户列表")});
    m_list->setColumnWidth(0, 140);
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setAccessibleName(QStringLiteral("用户列表"));
    m_list->setFixedWidth(160);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);

    auto *rightsBox = new QGroupBox(this);
    rightsBox->setObjectName(QStringLiteral("分组框_权限"));
    auto *grid = new QGridLayout(rightsBox);
    int i = 0;
    for (const RightInfo &r : EditableRights()) {
        auto *label = new QLabel(RightBlankText(r), rightsBox);
        label->setObjectName(r.label);
        label->setMinimumWidth(120);
        m_labels.insert(r.flag, label);
        grid->addWidget(label, i % 6, i / 6);
        ++i;
    }
    auto *hint = new QLabel(QStringLiteral("无【用户管理】权限的用户只能修改自己的密码。"), this);
    hint->setObjectName(QStringLiteral("标签5"));
    hint->setWordWrap(true);

    QPushButton *password = NamedButton(QStringLiteral("按钮_修改密码"), QStringLiteral("修改密码"), this);
    QPushButton *add = NamedButton(QStringLiteral("按钮_新增"), QStringLiteral("新增"), this);
    QPushButton *close = NamedButton(QStringLiteral("按钮_关闭"), QStringLiteral("关闭"), this);

    m_menu = new QMenu(QStringLiteral("菜单"), this);
    m_menu->setObjectName(QStringLiteral("菜单"));
    QAction *rights = m_menu->addAction(QStringLiteral("修改权限"));
    rights->setObjectName(QStringLiteral("修改权限"));
    m_menu->addSeparator();
    QAction *remove = m_menu->addAction(QStringLiteral("删除用户"));
    remove->setObjectName(QStringLiteral("删除用户"));

    auto *right = new QVBoxLayout;
    right->addWidget(rightsBox);
    right->addWidget(hint);
    right->addStretch();
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(password);
    buttons->addWidget(add);
    buttons->addStretch();
    buttons->addWidget(close);
    right->addLayout(buttons);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(right, 1);

    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &UserManagementWindow::showRights);
    // A double-click anywhere in the list, also below the rows.
    m_list->viewport()->installEventFilter(this);
    connect(m_list, &QWidget::customContextMenuRequested, this, &UserManagementWindow::showMenu);
    connect(password, &QPushButton::clicked, this, &UserManagementWindow::openPassword);
    connect(add, &QPushButton::clicked, this, &UserManagementWindow::addUser);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(rights, &QAction::triggered, this, &UserManagementWindow::changeRights);
    connect(remove, &QAction::triggered, this, &UserManagementWindow::deleteUser);

    fillList();
    logOpened();
}

QString UserManagementWindow::selectedName() const
{
    const QList<QTreeWidgetItem *> items = m_list->selectedItems();
    return items.isEmpty() ? QString() : items.first()->text(0);
}

void UserManagementWindow::fillList()
{
    const QStringList names = Users::current().names();
    m_list->clear();
    for (const QString &n : names)
        m_list->addTopLevelItem(new QTreeWidgetItem(QStringList{n}));
    // The login window, when it is still open, shows the same user names.
    ListTargets::publish(ListTargets::UserName, names);
}

void UserManagementWindow::showRights()
{
    if (m_list->selectedItems().isEmpty())
        return;
    RightSet granted;
    Users::current().readRights(selectedName(), &granted);
    for (const RightInfo &r : EditableRights())
        m_labels.value(r.flag)->setText(RightDisplayText(r, granted.contains(r.flag)));
}

void UserManagementWindow::showMenu(const QPoint &pos)
{
    if (m_list->selectedItems().isEmpty())
        return;
    m_menu->popup(m_list->viewport()->mapToGlobal(pos));
}

void UserManagementWindow::openPassword()
{
    const QString name = selectedName();
    const Refusal r = m_list->selectedItems().isEmpty()
                          ? Refusal::info(QStringLiteral("请选中需要修改的用户名！"))
                          : Users::current().checkPasswordWindow(name);
    if (!r.allowed()) {
        tell(r, this);
        return;
    }
    if (m_password)
        m_password->close();
    m_password = new PasswordWindow(this, name);
    m_password->show();
    m_password->raise();
    m_password->activateWindow();
}

void UserManagementWindow::addUser()
{
    const Refusal r = Users::current().checkAdd();
    if (!r.allowed()) {
        tell(r, this);
        return;
    }
    m_newUser = new NewUserWindow(this);
    m_newUser->setWindowModality(Qt::ApplicationModal);
    m_newUser->show();
}

void UserManagementWindow::changeRights()
{
    const QString name = selectedName();
    const Refusal r = Users::current().checkRights(name);
    if (!r.allowed()) {
        tell(r, this);
        return;
    }
    m_rights = new RightsWindow(this, name);
    m_rights->setWindowModality(Qt::ApplicationModal);
    m_rights->show();
}

void UserManagementWindow::deleteUser()
{
    const QString name = selectedName();
    const Refusal r = Users::current().checkDelete(name);
    if (!r.allowed()) {
        tell(r, this);
        return;
    }
    if (AskYesNo(QStringLiteral("删除用户后无法恢复，是否要删除！"), this)) {
        if (Users::current().remove(name)) {
            logAction(QStringLiteral("成功删除“") + name + QStringLiteral("”"));
            ShowInfo(QStringLiteral("成功删除！"), this);
        } else {
            ShowError(QStringLiteral("删除失败！"), this);
        }
    }
    fillList();
}

void UserManagementWindow::closeEvent(QCloseEvent *event)
{
    // The new user and password windows go with this one, without entries of
    // their own.
    delete m_newUser.data();
    delete m_password.data();
    ChildWindow::closeEvent(event);
}

bool UserManagementWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        openPassword();
        return true;
    }
    return ChildWindow::eventFilter(watched, event);
}

// ------------------------------------------------------------- NewUserWindow

NewUserWindow::NewUserWindow(UserManagementWindow *owner)
    : ChildWindow(QStringLiteral("新增用户"), Users::kModule, QStringLiteral("打开新增用户窗口"),
                  QStringLiteral("关闭新增用户窗口"), owner),
      m_owner(owner)
{
    setObjectName(QStringLiteral("新增用户窗口"));
    makeOwned(this);

    m_name = edit(QStringLiteral("编辑框_用户名"), this, false);
    m_password = edit(QStringLiteral("编辑框_新密码"), this, true);
    m_confirmation = edit(QStringLiteral("编辑框_确认密码"), this, true);
    auto *form = new QGridLayout;
    AddFieldRow(form, 0, QStringLiteral("标签_用户名"), QStringLiteral("用 户 名："), m_name);
    AddFieldRow(form, 1, QStringLiteral("标签_新密码"), QStringLiteral("新 密 码："), m_password);
    AddFieldRow(form, 2, QStringLiteral("标签_确认密码"), QStringLiteral("确认密码："), m_confirmation);
    auto *hint = new QLabel(QStringLiteral("提示：最大密码长度不超过18位"), this);
    hint->setObjectName(QStringLiteral("标签2"));
    form->addWidget(hint, 3, 1);

    auto *box = new QGroupBox(this);
    box->setObjectName(QStringLiteral("分组框_权限"));
    auto *grid = new QGridLayout(box);
    m_boxes.build(box, grid, 3);

    QPushButton *all = NamedButton(QStringLiteral("按钮_全选"), QStringLiteral("&A.全选"), this);
    QPushButton *none = NamedButton(QStringLiteral("按钮_反选"), QStringLiteral("&D.反选"), this);
    QPushButton *ok = NamedButton(QStringLiteral("按钮_确定"), QStringLiteral("&S.添加"), this);
    QPushButton *close = NamedButton(QStringLiteral("按钮_关闭"), QStringLiteral("&C.关闭"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(all);
    buttons->addWidget(none);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(box);
    layout->addLayout(buttons);

    connect(all, &QPushButton::clicked, this, [this] { m_boxes.setAll(true); });
    connect(none, &QPushButton::clicked, this, [this] { m_boxes.setAll(false); });
    connect(ok, &QPushButton::clicked, this, &NewUserWindow::add);
    OnEnter(m_confirmation, [this] { add(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    setFocusProxy(m_name);
    m_name->setFocus();
    logOpened();
}

void NewUserWindow::add()
{
    const QString name = m_name->text();
    const Refusal r = Users::current().checkNewUser(name, m_password->text(), m_confirmation->text());
    if (!r.allowed()) {
        tell(r, this);
        return;
    }
    switch (Users::current().add(name, m_password->text(), m_boxes.granted())) {
    case Users::AddOutcome::Exists:
        tell(Users::existsRefusal(name), this);
        return;
    case Users::AddOutcome::Added:
        logAction(QStringLiteral("成功添加：") + name);
        ShowInfo(QStringLiteral("添加成功"), this);
        if (m_owner)
            m_owner->fillList();
        break;
    case Users::AddOutcome::Failed:
        ShowError(QStringLiteral("添加失败"), this);
        break;
    }
    close();
}

// -------------------------------------------------------------- RightsWindow

RightsWindow::RightsWindow(UserManagementWindow *owner, const QString &name)
    : ChildWindow(QStringLiteral("用户权限修改"), Users::kModule, QStringLiteral("打开权限修改窗口"),
                  QStringLiteral("关闭权限修改窗口"), owner),
      m_owner(owner)
{
    setObjectName(QStringLiteral("权限修改窗口"));
    setWindowTitle(QStringLiteral("用户权限修改"));
    makeOwned(this);

    // The user is the one chosen in the list; it is not typed here.
    m_name = edit(QStringLiteral("编辑框_姓名"), this, false);
    m_name->setReadOnly(true);
    m_name->setText(name);
    auto *top = new QHBoxLayout;
    top->addWidget(FieldLabel(QStringLiteral("标签_姓名"), QStringLiteral("被修改人："), m_name, this));
    top->addWidget(m_name, 1);

    auto *box = new QGroupBox(this);
    box->setObjectName(QStringLiteral("分组框_权限"));
    auto *grid = new QGridLayout(box);
    m_boxes.build(box, grid, 3);

    QPushButton *ok = NamedButton(QStringLiteral("按钮_确定"), QStringLiteral("确定"), this);
    QPushButton *close = NamedButton(QStringLiteral("按钮_关闭"), QStringLiteral("关闭"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(box);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &RightsWindow::save);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    RightSet granted;
    Users::current().readRights(m_name->text(), &granted);
    m_boxes.setGranted(granted);
    logOpened();
}

void RightsWindow::save()
{
    const RightSet granted = m_boxes.granted();
    const QString name = m_name->text();
    const Refusal r = Users::current().checkSaveRights(name);
    if (!r.allowed()) {
        tell(r, this);
        return;
    }
    if (Users::current().setRights(name, granted)) {
        logAction(QStringLiteral("用户权限修改成功：") + name);
        if (m_owner)
            m_owner->showRights();
        ShowInfo(QStringLiteral("用户权限修改成功！"), this);
    } else {
        ShowError(QStringLiteral("用户权限修改失败！"), this);
    }
}

// ------------------------------------------------------------ PasswordWindow

PasswordWindow::PasswordWindow(UserManagementWindow *owner, const QString &name)
    : ChildWindow(QStringLiteral("密码修改"), Users::kModule, QStringLiteral("打开密码修改窗口"),
                  QStringLiteral("关闭密码修改窗口"), owner)
{
    setObjectName(QStringLiteral("密码修改窗口"));
    makeOwned(this);

    m_name = edit(QStringLiteral("编辑框_用户名"), this, false);
    m_old = edit(QStringLiteral("编辑框_原密码"), this, true);
    m_new = edit(QStringLiteral("编辑框_新密码"), this, true);
    m_confirmation = edit(QStringLiteral("编辑框_确认密码"), this, true);
    // Only the confirmation of this window takes any length, so a longer
    // password typed twice is refused as different rather than cut.
    m_confirmation->setMaxLength(32767);
    auto *form = new QGridLayout;
    AddFieldRow(form, 0, QStringLiteral("标签_用户名"), QStringLiteral("用 户 名："), m_name);
    AddFieldRow(form, 1, QStringLiteral("标签_原密码"), QStringLiteral("原 密 码："), m_old);
    AddFieldRow(form, 2, QStringLiteral("标签_新密码"), QStringLiteral("新 密 码："), m_new);
    AddFieldRow(form, 3, QStringLiteral("标签_确认密码"), QStringLiteral("确认密码："), m_confirmation);
    auto *hint = new QLabel(QStringLiteral("有【用户管理】权限可不输原密码"), this);
    hint->setObjectName(QStringLiteral("标签7"));
    form->addWidget(hint, 4, 1);

    QPushButton *ok = NamedButton(QStringLiteral("按钮_确认"), QStringLiteral("&S.确认"), this);
    QPushButton *close = NamedButton(QStringLiteral("按钮_关闭"), QStringLiteral("&C.关闭"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &PasswordWindow::change);
    OnEnter(m_name, [this] { change(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    logOpened();
    m_name->setText(name);
    if (name != Users::current().currentUser()) {
        if (Users::current().currentUserManages())
            m_old->setEnabled(false);
        else
            m_old->setFocus();
    } else {
        m_old->setFocus();
    }
}

void PasswordWindow::clearPasswords()
{
    m_old->clear();
    m_new->clear();
    m_confirmation->clear();
}

void PasswordWindow::change()
{
    Refusal r;
    const Users::PasswordOutcome outcome = Users::current().changePassword(
        {m_name->text(), m_old->text(), m_new->text(), m_confirmation->text()}, &r);
    switch (outcome) {
    case Users::PasswordOutcome::Refused:
        tell(r, this);
        break;
    case Users::PasswordOutcome::WrongOld:
        tell(r, this);
        clearPasswords();
        break;
    case Users::PasswordOutcome::Failed:
        // The row was not changed (the name is not exactly one stored user,
        // or the database refused): say so instead of staying silent.
        ShowError(QStringLiteral("修改失败"), this);
        break;
    case Users::PasswordOutcome::Changed:
        logAction(QStringLiteral("修改密码成功"));
        ShowInfo(QStringLiteral("修改成功"), this);
        clearPasswords();
        close();
        break;
    }
}

QWidget *CreateUserManagementWindow(QWidget *owner) { return new UserManagementWindow(owner); }

} // namespace cg
