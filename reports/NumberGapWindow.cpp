#include "reports/NumberGapWindow.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "data/RowTableModel.h"
#include "ui/Gates.h"
#include "ui/SpreadsheetExport.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace cg {

namespace {
QString summaryText(const GapReport &r)
{
    if (r.stored == 0)
        return QStringLiteral("本账套没有编号序列（%1＋四位数字）内的合同编号；序列外编号 %2 个")
            .arg(r.prefix, QString::number(r.outside.size()));
    return QStringLiteral("编号序列：%1 至 %2，已用 %3 个，缺号 %4 个，序列外编号 %5 个")
        .arg(r.lowest, r.highest, QString::number(r.stored), QString::number(r.missing.size()),
             QString::number(r.outside.size()));
}
} // namespace

NumberGapWindow::NumberGapWindow(QWidget *owner)
    : ChildWindow(kModule, kModule, QStringLiteral("打开合同编号缺号报告窗口"),
                  QStringLiteral("关闭合同编号缺号报告窗口"), owner)
{
    setObjectName(QStringLiteral("合同编号缺号报告窗口"));
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("标签_统计"));
    m_model = new RowTableModel(this);
    m_model->setStore(RowStore(NumberGaps::titles()));
    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("超级列表框_缺号"));
    m_list->setAccessibleName(kModule);
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setStretchLastSection(true);
    const int widths[] = {160, 90, 80, 100, 150};
    for (int c = 0; c < 5; ++c)
        m_list->setColumnWidth(c, widths[c]);
    m_summary->setBuddy(m_list);

    m_refresh = NamedButton(QStringLiteral("按钮_刷新"), QStringLiteral("&F.刷新"), this);
    m_export = NamedButton(QStringLiteral("按钮_导出"), QStringLiteral("&D.导出"), this);
    m_close = NamedButton(QStringLiteral("按钮_关闭"), QStringLiteral("&C.关闭"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_summary, 1);
    buttons->addWidget(m_refresh);
    buttons->addWidget(m_export);
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_list, 1);
    resize(640, 480);

    connect(m_refresh, &QPushButton::clicked, this, &NumberGapWindow::reload);
    connect(m_export, &QPushButton::clicked, this, [this] {
        if (Gates::isOpen(WindowKey::NumberGaps, QStringLiteral("按钮_导出")))
            exportList();
    });
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);

    reload();
    logOpened();
}

void NumberGapWindow::reload()
{
    const LoginContext &lc = Ctx().login;
    GapReport report;
    if (!NumberGaps(Ctx().db(), lc.contractTable, lc.accountSetName).build(report)) {
        m_report = GapReport();
        m_model->setStore(RowStore(NumberGaps::titles()));
        m_summary->setText(QStringLiteral("读取失败，请稍后重试"));
        return;
    }
    m_report = std::move(report);
    m_model->setStore(RowStore::fromRows(NumberGaps::titles(), NumberGaps::rows(m_report)));
    m_summary->setText(summaryText(m_report));
}

bool NumberGapWindow::exportList()
{
    const int rows = m_model->rowCount();
    const bool ok = ExportList(this, NumberGaps::titles(), Sheet::RowSource::fromRows(NumberGaps::rows(m_report)));
    WriteLogEntry(QStringLiteral("操作"),
                  (ok ? QStringLiteral("成功导出合同编号缺号报告，共导出：") : QStringLiteral("导出合同编号缺号报告失败，共失败："))
                      + QString::number(rows) + QStringLiteral("行"),
                  kModule);
    return ok;
}

QWidget *CreateNumberGapWindow(QWidget *owner) { return new NumberGapWindow(owner); }

} // namespace cg
