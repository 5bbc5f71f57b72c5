#include "masterdata/AccountSetWindow.h"
#include "ui/Seams.h"
#include "ui/Shell.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "masterdata/AccountSets.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace cg {

namespace {

const QString kModule = QStringLiteral("账套管理");
constexpr int kListHeight = 265;
constexpr int kEditHeight = 217;

class AccountSetWindow : public ChildWindow {
public:
    explicit AccountSetWindow(QWidget *owner);

protected:
    void changeEvent(QEvent *event) override;

private:
    enum class Mode { Add, Modify };

    AccountSets sets() const { return AccountSets(Ctx().db(), Ctx().login.accountSetName); }
    QString currentName() const;
    void showListPage();
    void showEditPage();
    void loadList();
    void resetHint();
    void startAdd();
    void startModify();
    void save();
    void saveModification(const QString &newName);
    void saveNewSet(const QString &name);
    void deleteSelected();
    void log(const QString &description) { WriteLogEntry(QStringLiteral("操作"), description, kModule); }

    QTabWidget *m_tabs;
    QTableWidget *m_grid;
    QLabel *m_hint;
    QLineEdit *m_name, *m_department, *m_remark;
    Mode m_mode = Mode::Add;
    QString m_oldName;   // name of the set being modified
    bool m_ownDialogOpen = false;
};

QPushButton *makeButton(const QString &name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

AccountSetWindow::AccountSetWindow(QWidget *owner)
    : ChildWindow(QStringLiteral("账套管理"), kModule, QStringLiteral("打开账套管理窗口"),
                  QStringLiteral("关闭账套管理窗口"), owner)
{
    setObjectName(QStringLiteral("账套管理"));

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("高级选择夹1"));
    // The pages are turned by the buttons only: the edit page means nothing
    // without 新增 or 修改 having chosen what it edits.
    m_tabs->tabBar()->hide();
    m_tabs->setDocumentMode(true);

    // List page.
    auto *listPage = new QWidget;
    m_grid = new QTableWidget(0, 4, listPage);
    m_grid->setObjectName(QStringLiteral("高级表格_账套"));
    m_grid->setHorizontalHeaderLabels({QStringLiteral("      账 套 名"), QStringLiteral("  公司(部门)名称"),
                                       QStringLiteral("       备 注"), QString()});
    m_grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int widths[] = {110, 113, 120, 136};
    for (int c = 0; c < 4; ++c)
        m_grid->setColumnWidth(c, widths[c]);
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(22);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setAccessibleName(QStringLiteral("账套"));

    auto *add = makeButton(QStringLiteral("按钮_新增"), QStringLiteral("新增(&N)"), listPage);
    auto *modify = makeButton(QStringLiteral("按钮_修改"), QStringLiteral("修改(&R)"), listPage);
    auto *remove = makeButton(QStringLiteral("按钮_删除"), QStringLiteral("删除(&D)"), listPage);
    auto *close = makeButton(QStringLiteral("按钮_关闭"), QStringLiteral("关闭(&C)"), listPage);
    m_hint = new QLabel(QStringLiteral("推荐一年建一个账套"), listPage);
    m_hint->setObjectName(QStringLiteral("标签_提示"));

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(modify);
    buttons->addWidget(remove);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *listTop = new QHBoxLayout;
    listTop->addWidget(m_grid, 1);
    listTop->addLayout(buttons);
    auto *listLayout = new QVBoxLayout(listPage);
    listLayout->setContentsMargins(6, 6, 6, 4);
    listLayout->addLayout(listTop, 1);
    listLayout->addWidget(m_hint);

    // Edit page.
    auto *editPage = new QWidget;
    auto *frame = new QFrame(editPage);
    frame->setObjectName(QStringLiteral("外形框1"));
    frame->setFrameShape(QFrame::StyledPanel);
    m_name = new QLineEdit(frame);
    m_name->setObjectName(QStringLiteral("编辑框_账套名"));
    m_department = new QLineEdit(frame);
    m_department->setObjectName(QStringLiteral("编辑框_部门"));
    m_remark = new QLineEdit(frame);
    m_remark->setObjectName(QStringLiteral("编辑框_备注"));
    auto *unique = new QLabel(QStringLiteral("帐套名必须是唯一"), frame);
    unique->setObjectName(QStringLiteral("标签5"));
    QPalette up = unique->palette();
    up.setColor(QPalette::WindowText, QColor(255, 0, 0));
    unique->setPalette(up);
    auto *grid = new QGridLayout(frame);
    AddFieldRow(grid, 0, QStringLiteral("标签3"), QStringLiteral("管理帐套名："), m_name);
    grid->addWidget(unique, 0, 2);
    grid->addWidget(FieldLabel(QStringLiteral("标签6"), QStringLiteral("隶属部门："), m_department, frame), 1, 0);
    grid->addWidget(m_department, 1, 1, 1, 2);
    grid->addWidget(FieldLabel(QStringLiteral("标签7"), QStringLiteral("备    注："), m_remark, frame), 2, 0);
    grid->addWidget(m_remark, 2, 1, 1, 2);
    grid->setColumnStretch(1, 1);

    auto *note = new QLabel(QStringLiteral("推荐以一年为单位建立一个帐套"), editPage);
    note->setObjectName(QStringLiteral("标签4"));
    auto *ok = makeButton(QStringLiteral("按钮_确定"), QStringLiteral("确定(&Q)"), editPage);
    auto *cancel = makeButton(QStringLiteral("按钮_取消"), QStringLiteral("关闭(&C)"), editPage);
    auto *editButtons = new QHBoxLayout;
    editButtons->addWidget(note);
    editButtons->addStretch();
    editButtons->addWidget(ok);
    editButtons->addWidget(cancel);
    auto *editLayout = new QVBoxLayout(editPage);
    editLayout->setContentsMargins(6, 6, 6, 4);
    editLayout->addWidget(frame);
    editLayout->addStretch();
    editLayout->addLayout(editButtons);

    m_tabs->addTab(listPage, QStringLiteral("账套列表"));
    m_tabs->addTab(editPage, QStringLiteral("账套信息"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_tabs);

    connect(add, &QPushButton::clicked, this, [this] { startAdd(); });
    connect(modify, &QPushButton::clicked, this, [this] { startModify(); });
    connect(remove, &QPushButton::clicked, this, [this] { deleteSelected(); });
    connect(ok, &QPushButton::clicked, this, [this] { save(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(cancel, &QPushButton::clicked, this, &QWidget::close);

    m_tabs->setCurrentIndex(0);
    resize(592, kListHeight);
    loadList();
    logOpened();
}

void AccountSetWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow()) {
            // Coming back from one of this window's own message boxes keeps
            // the result line; any other return to the window resets it.
            if (!m_ownDialogOpen)
                resetHint();
            m_ownDialogOpen = false;
        } else {
            QWidget *now = QApplication::activeWindow();
            m_ownDialogOpen = qobject_cast<QDialog *>(now) != nullptr;
        }
    }
    ChildWindow::changeEvent(event);
}

QString AccountSetWindow::currentName() const
{
    const int row = m_grid->selectionModel()->hasSelection() ? m_grid->currentRow() : -1;
    if (row < 0)
        return {};
    const QTableWidgetItem *item = m_grid->item(row, 0);
    return item ? item->text() : QString();
}

void AccountSetWindow::showListPage()
{
    m_tabs->setCurrentIndex(0);
    resize(width(), kListHeight);
}

void AccountSetWindow::showEditPage()
{
    resize(width(), kEditHeight);
    m_tabs->setCurrentIndex(1);
}

void AccountSetWindow::loadList()
{
    QList<AccountSetRow> rows;
    sets().list(rows);
    m_grid->setRowCount(0);
    m_grid->setRowCount(rows.size());
    for (int r = 0; r < rows.size(); ++r) {
        const QString cells[] = {rows[r].name, rows[r].department, rows[r].remark, QString()};
        for (int c = 0; c < 4; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            m_grid->setItem(r, c, item);
        }
    }
}

void AccountSetWindow::resetHint()
{
    m_hint->setText(QStringLiteral("推荐一年建一个账套"));
    QPalette p = m_hint->palette();
    p.setColor(QPalette::WindowText, QColor(0, 0, 0));
    m_hint->setPalette(p);
}

void AccountSetWindow::startAdd()
{
    m_name->clear();
    m_department->clear();
    m_remark->clear();
    m_mode = Mode::Add;
    m_oldName.clear();
    showEditPage();
    m_name->setText(QString::number(Clock::now().date().year()) + QStringLiteral("年度"));
    m_name->setFocus();
    log(QStringLiteral("点击新增账套按钮"));
}

void AccountSetWindow::startModify()
{
    const QString name = currentName();
    if (name.isEmpty()) {
        ShowInfo(QStringLiteral("未选择需要修改的项目，请重新选择！"), this);
        return;
    }
    if (sets().isInUse(name)) {
        ShowError(QStringLiteral("不能修改正在使用的账套！"), this);
        return;
    }
    const int row = m_grid->selectionModel()->hasSelection() ? m_grid->currentRow() : -1;
    m_oldName = name;
    m_name->setText(name);
    m_department->setText(m_grid->item(row, 1) ? m_grid->item(row, 1)->text() : QString());
    m_remark->setText(m_grid->item(row, 2) ? m_grid->item(row, 2)->text() : QString());
    m_mode = Mode::Modify;
    showEditPage();
    m_name->setFocus();
    log(QStringLiteral("点击修改账套按钮"));
}

void AccountSetWindow::save()
{
    const QString name = m_name->text();
    if (name.isEmpty()) {
        ShowInfo(QStringLiteral("账套名不可为空，且不可和以前的账套名重复！"), this);
        m_name->setFocus();
        return;
    }
    if (m_mode == Mode::Modify)
        saveModification(name);
    else
        saveNewSet(name);
}

void AccountSetWindow::saveModification(const QString &newName)
{
    const QString oldName = m_oldName;
    const auto outcome = sets().modify(oldName, newName, m_department->text(), m_remark->text());
    if (outcome == AccountSets::Outcome::Duplicate) {
        // Refused before anything is written: the user picks another name.
        ShowError(QStringLiteral("已有名为“") + newName + QStringLiteral("”的账套，名称不能重复！"), this);
        m_name->setFocus();
        return;
    }
    if (outcome != AccountSets::Outcome::Done) {
        SetHint(m_hint, QStringLiteral("账套修改失败"), false);
        ShowError(QStringLiteral("修改账套信息失败，请重新修改！"), this);
        close();
        return;
    }
    loadList();
    SetHint(m_hint, QStringLiteral("账套修改成功"), true);
    log(QStringLiteral("账套修改成功原账套：") + oldName + QStringLiteral("--修改为：") + newName);
    showListPage();
}

void AccountSetWindow::saveNewSet(const QString &name)
{
    const QString prefix =
        Ctx().login.contractPrefix.isEmpty() ? QStringLiteral("KQLM") : Ctx().login.contractPrefix;
    const QString year = QString::number(Clock::now().date().year());
    const auto outcome = sets().create(name, m_department->text(), m_remark->text(), prefix, year);
    if (outcome == AccountSets::Outcome::Duplicate) {
        ShowError(QStringLiteral("已添加过") + name + QStringLiteral("账套，名称不能重复！"), this);
        return;
    }
    if (outcome != AccountSets::Outcome::Done) {
        ShowError(QStringLiteral("新增“") + name + QStringLiteral("”账套失败！"), this);
        return;
    }
    ShowInfo(QStringLiteral("新增“") + name + QStringLiteral("”账套成功！"), this);
    loadList();
    log(QStringLiteral("账套新建成功，名称：") + name);
    SetHint(m_hint, QStringLiteral("新增账套成功"), true);
    showListPage();
}

void AccountSetWindow::deleteSelected()
{
    const QString name = currentName();
    if (name.isEmpty()) {
        ShowInfo(QStringLiteral("未选择需删除的账套，请重新选择！"), this);
        return;
    }
    AccountSets rules = sets();
    const QString table = rules.contractTableOf(name);
    if (rules.isInUse(name)) {
        ShowError(QStringLiteral("不能删除正在使用的账套！"), this);
        return;
    }
    if (!AskYesNo(QStringLiteral("删除账套后将不可再恢复，确定要删除“") + name + QStringLiteral("”账套吗？"), this))
        return;
    if (rules.remove(name) != AccountSets::Outcome::Done) {
        SetHint(m_hint, QStringLiteral("账套删除失败"), false);
        ShowError(QStringLiteral("账套删除失败，请与管理员联系！"), this);
        return;
    }
    log(QStringLiteral("成功删除账套，被删除的账套：") + name);
    rules.dropUnusedContractTable(table);
    SetHint(m_hint, QStringLiteral("账套删除成功"), true);
    loadList();
}

} // namespace

QWidget *CreateAccountSetWindow(QWidget *owner) { return new AccountSetWindow(owner); }

} // namespace cg
