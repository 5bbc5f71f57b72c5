#include "reports/ExpiryReminderWindow.h"
#include "contracts/ContractQueryWindow.h"
#include "data/Context.h"
#include "data/RowTableModel.h"
#include "ui/Seams.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace cg {

namespace {
const QStringList kColumns = {QStringLiteral("合同编号"), QStringLiteral("供应商"), QStringLiteral("失效日期"),
                              QStringLiteral("剩余天数"), QStringLiteral("合同总金额(元)"), QStringLiteral("剩余尾款(元)")};
const QString kName = QStringLiteral("合同到期提醒");

QString scopeText(int days)
{
    if (days <= 0)
        return QStringLiteral("今天到期的合同，以及已过期仍有剩余尾款的合同：");
    return QStringLiteral("今后%1天内到期的合同，以及已过期仍有剩余尾款的合同：").arg(days);
}
} // namespace

ExpiryReminderWindow::ExpiryReminderWindow(QWidget *owner)
    : ChildWindow(kName, kName, QStringLiteral("打开合同到期提醒窗口"), QStringLiteral("关闭合同到期提醒窗口"), owner)
{
    setObjectName(QStringLiteral("合同到期提醒窗口"));
    m_scope = new QLabel(this);
    m_scope->setObjectName(QStringLiteral("标签_说明"));
    m_model = new RowTableModel(this);
    m_model->setStore(RowStore(kColumns));
    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("超级列表框_到期提醒"));
    m_list->setAccessibleName(kName);
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {150, 180, 90, 70, 120, 120};
    for (int c = 0; c < 6; ++c)
        m_list->setColumnWidth(c, widths[c]);
    m_scope->setBuddy(m_list);

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("标签_统计"));
    m_quiet = new QCheckBox(QStringLiteral("登录时不再提醒"), this);
    m_quiet->setObjectName(QStringLiteral("选择框_不再提醒"));
    m_quiet->setChecked(ReminderSettings::quietAtLogin());
    m_close = NamedButton(QStringLiteral("按钮_关闭"), QStringLiteral("&C.关闭"), this);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_count);
    bottom->addStretch();
    bottom->addWidget(m_quiet);
    bottom->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_scope);
    layout->addWidget(m_list, 1);
    layout->addLayout(bottom);
    resize(820, 420);

    connect(m_list, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &i) { showContract(i.row()); });
    connect(m_quiet, &QCheckBox::toggled, this, [this](bool quiet) {
        if (!ReminderSettings::setQuietAtLogin(quiet))
            ShowMessage(QStringLiteral("保存失败！"), QString(), MsgIcon::Error, this);
    });
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);

    reload();
    logOpened();
}

void ExpiryReminderWindow::reload()
{
    const int days = ReminderSettings::days();
    m_scope->setText(scopeText(days));
    const LoginContext &lc = Ctx().login;
    QVector<ExpiringContract> list;
    if (!ExpiryReminders(Ctx().db(), lc.contractTable).list(Clock::now().date(), days, list)) {
        m_contracts.clear();
        m_model->setStore(RowStore(kColumns));
        m_count->setText(QStringLiteral("读取失败，请稍后重试"));
        return;
    }
    QList<QStringList> rows;
    for (const ExpiringContract &c : list)
        rows << QStringList{c.number,  c.supplier, c.expiryText, ExpiryReminders::daysText(c),
                            c.amount,  c.balance};
    m_contracts = std::move(list);
    m_model->setStore(RowStore::fromRows(kColumns, rows));
    m_count->setText(QStringLiteral("共：%1 份合同").arg(m_contracts.size()));
}

void ExpiryReminderWindow::showContract(int row)
{
    if (row < 0 || row >= m_contracts.size())
        return;
    const ExpiringContract &c = m_contracts.at(row);
    auto *query = qobject_cast<ContractQueryWindow *>(Windows::open(WindowKey::ContractQuery));
    if (!query)
        return;
    const QDate day = c.documentDate.size() == 10 ? QDate::fromString(c.documentDate, QStringLiteral("yyyy-MM-dd"))
                                                  : QDate();
    query->showContract(c.number, day);
}

QWidget *CreateExpiryReminderWindow(QWidget *owner) { return new ExpiryReminderWindow(owner); }

bool ShowExpiryRemindersAtLogin()
{
    const int days = ReminderSettings::days();
    if (days <= 0 || ReminderSettings::quietAtLogin())
        return false;
    QVector<ExpiringContract> list;
    if (!ExpiryReminders(Ctx().db(), Ctx().login.contractTable).list(Clock::now().date(), days, list) || list.isEmpty())
        return false;
    return Windows::open(WindowKey::ExpiryReminders) != nullptr;
}

} // namespace cg
