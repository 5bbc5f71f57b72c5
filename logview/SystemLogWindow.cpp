#include "logview/SystemLogWindow.h"
#include "ui/Shell.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "data/Permissions.h"
#include "data/RowTableModel.h"
#include "ui/Keys.h"
#include "ui/Seams.h"
#include "ui/SpreadsheetExport.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace cg {

namespace {

const QString kModule = LogQuery::kModule;
// Rows read per statement as the list scrolls.
constexpr int kPageSize = 500;

const QString kClearWarning = QString(22, u' ')
    + QStringLiteral("请注意！！！\r\n清除日志动作不仅仅是清除当前已过滤出来的数据，而是全部删除！");

// The list before any query, or after one that found nothing: no rows, the
// columns still named.
RowStore emptyList()
{
    return RowStore(LogListColumns() + QStringList{QStringLiteral("id")});
}

QString countText(qint64 rows) { return QStringLiteral(" 共计：") + QString::number(rows) + QStringLiteral("条"); }

} // namespace

SystemLogWindow::SystemLogWindow(QWidget *owner)
    : ChildWindow(QStringLiteral("系统日志查询"), kModule, QStringLiteral("打开系统日志查询窗口"),
                  QStringLiteral("关闭系统日志窗口"), owner)
{
    setObjectName(QStringLiteral("系统日志"));

    const QDate today = Clock::now().date();
    const QFont dateFont(QStringLiteral("Tahoma"));
    for (QDateEdit **d : {&m_start, &m_end}) {
        *d = new QDateEdit(today, this);
        (*d)->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        (*d)->setCalendarPopup(true);
        (*d)->setFont(dateFont);
        (*d)->setMinimumWidth(120);
    }
    m_start->setObjectName(QStringLiteral("日期框_起始"));
    m_end->setObjectName(QStringLiteral("日期框_终止"));
    m_start->setDate(today.addYears(-1));

    m_column = new QComboBox(this);
    m_column->setObjectName(QStringLiteral("组合框_编号名称"));
    m_column->setAccessibleName(QStringLiteral("条件字段"));
    m_column->addItems(LogConditionColumns());
    m_column->setCurrentIndex(-1);
    m_column->setPlaceholderText(QStringLiteral("条件字段"));
    m_column->setMinimumWidth(88);
    m_condition = new QLineEdit(this);
    m_condition->setObjectName(QStringLiteral("编辑框_条件"));
    m_condition->setAccessibleName(QStringLiteral("条件"));
    m_condition->setMinimumWidth(209);

    m_queryButton = NamedButton(QStringLiteral("按钮_过滤_"), QStringLiteral("&F.过滤"), this);
    m_exportButton = NamedButton(QStringLiteral("按钮_导出_"), QStringLiteral("&D.导出"), this);
    m_clearButton = NamedButton(QStringLiteral("按钮_清空"), QStringLiteral("&C.清空"), this);

    m_model = new RowTableModel(this);
    m_model->setStore(emptyList());
    m_model->setHeaderLabels({QStringLiteral("日期\\时间"), QStringLiteral("用  户"), QStringLiteral("操作模块"),
                              QStringLiteral("状 态"), QStringLiteral("内容描述"), QStringLiteral("机器名"),
                              QStringLiteral("IP地址")});
    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("超级列表框_日志"));
    m_list->setAccessibleName(QStringLiteral("系统日志"));
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAlternatingRowColors(true);
    m_list->setShowGrid(false);
    m_list->setWordWrap(false);
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(20);
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->setColumnHidden(int(LogListColumns().size()), true);
    const int widths[] = {130, 100, 110, 100, 250, 130, 110};
    for (int c = 0; c < 7; ++c)
        m_list->setColumnWidth(c, widths[c]);
    m_list->horizontalHeader()->setStretchLastSection(true);

    m_count = new QLabel(countText(0), this);
    m_count->setObjectName(QStringLiteral("标签_统计"));

    auto *tools = new QHBoxLayout;
    tools->setSpacing(4);
    tools->addWidget(FieldLabel(QStringLiteral("标签3"), QStringLiteral(" 起始时间："), m_start, this));
    tools->addWidget(m_start);
    tools->addSpacing(8);
    tools->addWidget(FieldLabel(QStringLiteral("标签4"), QStringLiteral(" 终止时间："), m_end, this));
    tools->addWidget(m_end);
    tools->addSpacing(8);
    tools->addWidget(m_column);
    tools->addWidget(m_condition, 1);
    tools->addSpacing(4);
    tools->addWidget(m_queryButton);
    tools->addWidget(m_exportButton);
    tools->addSpacing(16);
    tools->addWidget(m_clearButton);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    layout->addLayout(tools);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_count);
    resize(989, 541);

    for (QWidget *w : std::initializer_list<QWidget *>{m_start, m_end, m_condition})
        OnEnter(w, [this] { query(); });
    connect(m_queryButton, &QPushButton::clicked, this, [this] { query(); });
    connect(m_exportButton, &QPushButton::clicked, this, [this] { exportEntries(); });
    connect(m_clearButton, &QPushButton::clicked, this, [this] { clearLog(); });
    connect(m_model, &RowTableModel::fetchFailed, this,
            [](const QString &error) { qWarning("reading the log failed: %s", qPrintable(error)); });

    logOpened();
}

SystemLogWindow::~SystemLogWindow() = default;

void SystemLogWindow::query()
{
    if (m_busy)
        return;
    LogFilterInput input{m_start->date(), m_end->date(),
                         m_column->currentIndex() < 0 ? QString() : m_column->currentText(), m_condition->text()};
    if (input.start > input.end) {
        ShowInfo(QStringLiteral("终止日期不可小于起始时间，请重新设定过滤时间！"), this);
        m_end->setDate(Clock::now().date());
        return;
    }
    m_busy = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    showSelection(LogQuery(Ctx().db()).select(input));
    QApplication::restoreOverrideCursor();
    m_busy = false;
    WriteLogEntry(QStringLiteral("操作"), QStringLiteral("查询系统日志"), kModule);
}

void SystemLogWindow::showSelection(const LogSelection &selection)
{
    m_selection = selection;
    std::unique_ptr<KeysetReader> reader = LogQuery(Ctx().db()).reader(selection);
    // A statement that failed shows an empty list.
    if (!reader || !m_model->setSource(std::move(reader), kPageSize)) {
        m_model->setStore(emptyList());
        m_selection.count = 0;
        m_selection.newestId = 0;
    }
    m_list->scrollToTop();
    m_count->setText(countText(m_selection.count));
}

bool SystemLogWindow::exportEntries()
{
    if (m_busy)
        return false;
    m_busy = true;
    const bool ok = ExportList(this, LogExportTitles(), LogQuery(Ctx().db()).exportRows(m_selection));
    m_busy = false;
    WriteLogEntry(QStringLiteral("操作"), ok ? QStringLiteral("导出系统日志成功") : QStringLiteral("导出系统日志失败"),
                  kModule);
    return ok;
}

bool SystemLogWindow::mayClear() const
{
    // The window also opens for everyone when the log has grown too large;
    // emptying it stays with the holders of the log right.
    return Ctx().login.isAdmin() || HasPermission(QStringLiteral("日志"));
}

void SystemLogWindow::clearLog()
{
    if (m_busy)
        return;
    if (!mayClear()) {
        ShowError(QStringLiteral("你没有系统日志权限，不能清除系统日志！"), this);
        return;
    }
    if (!AskYesNo(kClearWarning, this))
        return;
    // A copy that was asked for and not made keeps the log as it is.
    if (AskYesNo(QStringLiteral("是否要导出Excel文件！"), this) && !exportEntries()) {
        ShowInfo(QStringLiteral("没有导出系统日志，日志未清除！"), this);
        return;
    }
    if (!LogQuery(Ctx().db()).clearAll()) {
        ShowError(QStringLiteral("清除失败！"), this);
        return;
    }
    WriteLogEntry(QStringLiteral("操作"), QStringLiteral("删除系统日志"), kModule);
    m_selection = LogSelection();
    m_model->setStore(emptyList());
    m_count->setText(countText(0));
    query();
    ShowInfo(QStringLiteral("所有日志已清除！"), this);
}

QWidget *CreateSystemLogWindow(QWidget *owner) { return new SystemLogWindow(owner); }

} // namespace cg
