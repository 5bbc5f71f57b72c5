#include "spend/SpendOverviewWindow.h"

#include "data/AccountSetRecord.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "ui/Gates.h"
#include "ui/Seams.h"
#include "ui/SpreadsheetExport.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>

namespace cg {

namespace {

const QString kModule = QStringLiteral("合同金额统计");
const QString kExportButton = QStringLiteral("按钮_导出");

const QStringList &groupingNames()
{
    static const QStringList names = {QStringLiteral("按月份"), QStringLiteral("按供应商"),
                                      QStringLiteral("按申请部门"), QStringLiteral("按审核状态")};
    return names;
}

const QStringList &groupTitles()
{
    static const QStringList titles = {QStringLiteral("月份"), QStringLiteral("供应商"), QStringLiteral("申请部门"),
                                       QStringLiteral("审核状态")};
    return titles;
}

QStringList rowOf(const SpendGroup &g, const QString &label)
{
    return {label,
            QString::number(g.contracts),
            g.amount.text(),
            QString::number(g.amountNotNumber),
            g.remaining.text(),
            QString::number(g.remainingNotNumber)};
}

} // namespace

SpendOverviewWindow::SpendOverviewWindow(QWidget *owner)
    : ChildWindow(QStringLiteral("合同金额统计"), kModule, QStringLiteral("打开合同金额统计窗口"),
                  QStringLiteral("关闭合同金额统计窗口"), owner)
{
    setObjectName(QStringLiteral("合同金额统计窗口"));

    m_start = new QDateEdit(this);
    m_start->setObjectName(QStringLiteral("日期框_起始"));
    m_end = new QDateEdit(this);
    m_end->setObjectName(QStringLiteral("日期框_终止"));
    for (QDateEdit *d : {m_start, m_end}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setMinimumWidth(110);
    }
    QLabel *startLabel = FieldLabel(QStringLiteral("标签_起始"), QStringLiteral("制单日期从："), m_start, this);
    QLabel *endLabel = FieldLabel(QStringLiteral("标签_终止"), QStringLiteral("到："), m_end, this);
    m_computeButton = NamedButton(QStringLiteral("按钮_统计"), QStringLiteral("&T.统计"), this);

    m_grouping = new QComboBox(this);
    m_grouping->setObjectName(QStringLiteral("组合框_分组"));
    m_grouping->addItems(groupingNames());
    QLabel *groupingLabel = FieldLabel(QStringLiteral("标签_分组"), QStringLiteral("分组："), m_grouping, this);
    m_exportButton = NamedButton(kExportButton, QStringLiteral("&D.导出"), this);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("标签_合计"));
    m_notNumber = new QLabel(this);
    m_notNumber->setObjectName(QStringLiteral("标签_非数字"));

    m_chart = new QChartView(this);
    m_chart->setObjectName(QStringLiteral("图表_统计"));
    m_chart->setRenderHint(QPainter::Antialiasing);
    m_chart->setMinimumSize(480, 360);
    m_chart->setChart(new QChart);

    m_table = new QTableWidget(this);
    m_table->setObjectName(QStringLiteral("表格_统计"));
    m_table->setAccessibleName(QStringLiteral("合同金额统计"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);

    auto *top = new QHBoxLayout;
    top->addWidget(startLabel);
    top->addWidget(m_start);
    top->addWidget(endLabel);
    top->addWidget(m_end);
    top->addWidget(m_computeButton);
    top->addSpacing(16);
    top->addWidget(groupingLabel);
    top->addWidget(m_grouping);
    top->addStretch();
    top->addWidget(m_exportButton);
    auto *sums = new QHBoxLayout;
    sums->addWidget(m_summary);
    sums->addSpacing(24);
    sums->addWidget(m_notNumber);
    sums->addStretch();
    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(m_chart);
    split->addWidget(m_table);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    split->setSizes({560, 540});
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(sums);
    layout->addWidget(split, 1);
    resize(1100, 600);

    connect(m_computeButton, &QPushButton::clicked, this, [this] { compute(); });
    connect(m_grouping, &QComboBox::currentIndexChanged, this, [this] { showGrouping(); });
    connect(m_exportButton, &QPushButton::clicked, this, [this] { exportTable(); });

    QDate from, to;
    const LoginContext &lc = Ctx().login;
    const QString year = FindAccountSetRow(Ctx().db(), lc.accountSetName).value_or(QStringList()).value(ZtbColumn::Year);
    SpendOverview::defaultRange(year, Clock::now().date(), &from, &to);
    m_start->setDate(from);
    m_end->setDate(to);
    logOpened();
    compute();
}

void SpendOverviewWindow::compute()
{
    const SpendOverview overview(Ctx().db(), Ctx().login.contractTable);
    switch (overview.compute(m_start->date(), m_end->date(), &m_figures)) {
    case SpendOverview::Outcome::Done:
        break;
    case SpendOverview::Outcome::DatesOutOfOrder:
        ShowMessage(QStringLiteral("终止时间不能小于起始时间，请重新设定统计时间！"), QString(), MsgIcon::Information,
                    this);
        break;
    case SpendOverview::Outcome::Failed:
        ShowMessage(QStringLiteral("读取合同失败，无法统计！"), QString(), MsgIcon::Error, this);
        break;
    }
    const SpendGroup &t = m_figures.total;
    m_summary->setText(QStringLiteral("合同：%1 份，合同金额合计：%2 元，剩余尾款合计：%3 元")
                           .arg(t.contracts)
                           .arg(t.amount.text(), t.remaining.text()));
    QString notNumber = QStringLiteral("非数字金额：%1 份").arg(t.amountNotNumber);
    if (t.remainingNotNumber > 0)
        notNumber += QStringLiteral("，非数字尾款：%1 份").arg(t.remainingNotNumber);
    m_notNumber->setText(notNumber);
    m_notNumber->setStyleSheet(t.amountNotNumber > 0 || t.remainingNotNumber > 0 ? QStringLiteral("color: rgb(255,0,0)")
                                                                                 : QString());
    showGrouping();
}

QStringList SpendOverviewWindow::tableTitles() const
{
    return {groupTitles().value(qMax(0, m_grouping->currentIndex())), QStringLiteral("合同份数"),
            QStringLiteral("合同金额"),   QStringLiteral("非数字金额份数"),
            QStringLiteral("剩余尾款"),   QStringLiteral("非数字尾款份数")};
}

QList<QStringList> SpendOverviewWindow::tableRows() const
{
    QList<QStringList> rows;
    for (int r = 0; r < m_table->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < m_table->columnCount(); ++c)
            row << (m_table->item(r, c) ? m_table->item(r, c)->text() : QString());
        rows << row;
    }
    return rows;
}

void SpendOverviewWindow::showGrouping()
{
    const auto grouping = Grouping(qMax(0, m_grouping->currentIndex()));
    const QList<SpendGroup> &groups = grouping == ByMonth        ? m_figures.months
                                      : grouping == BySupplier   ? m_figures.suppliers
                                      : grouping == ByDepartment ? m_figures.departments
                                                                 : m_figures.auditStates;
    QList<QStringList> rows;
    for (const SpendGroup &g : groups)
        rows << rowOf(g, g.label);
    rows << rowOf(m_figures.total, QStringLiteral("合计"));

    const QStringList titles = tableTitles();
    m_table->clear();
    m_table->setColumnCount(int(titles.size()));
    m_table->setHorizontalHeaderLabels(titles);
    m_table->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < titles.size(); ++c) {
            auto *item = new QTableWidgetItem(rows[r].value(c));
            if (c > 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_table->setItem(r, c, item);
        }
    }
    m_table->resizeColumnsToContents();
    showChart(groups, grouping);
}

void SpendOverviewWindow::showChart(const QList<SpendGroup> &groups, Grouping grouping)
{
    auto *chart = new QChart;
    chart->setTitle(groupingNames().value(grouping) + QStringLiteral("统计合同金额（元）"));
    chart->legend()->hide();
    auto *set = new QBarSet(QStringLiteral("合同金额"));
    QStringList categories;
    // Long lists run down the side, the largest at the top: a horizontal
    // series draws its first category at the bottom.
    const bool across = grouping == BySupplier || grouping == ByDepartment;
    double low = 0, high = 0;
    for (qsizetype k = 0; k < groups.size(); ++k) {
        const SpendGroup &g = across ? groups[groups.size() - 1 - k] : groups[k];
        const double v = g.amount.toDouble();
        set->append(v);
        categories << (g.label.isEmpty() ? QStringLiteral("（空）") : g.label);
        low = qMin(low, v);
        high = qMax(high, v);
    }
    QAbstractBarSeries *series = across ? static_cast<QAbstractBarSeries *>(new QHorizontalBarSeries)
                                        : static_cast<QAbstractBarSeries *>(new QBarSeries);
    series->append(set);
    chart->addSeries(series);
    auto *categoryAxis = new QBarCategoryAxis;
    categoryAxis->append(categories);
    auto *valueAxis = new QValueAxis;
    // Whole yuan on the axis: a span of a few yuan (or none, with nothing
    // counted) would repeat the same rounded label on every tick.
    valueAxis->setRange(low, qMax(high, low + 5));
    valueAxis->setLabelFormat(QStringLiteral("%.0f"));
    valueAxis->applyNiceNumbers();
    chart->addAxis(categoryAxis, across ? Qt::AlignLeft : Qt::AlignBottom);
    chart->addAxis(valueAxis, across ? Qt::AlignBottom : Qt::AlignLeft);
    series->attachAxis(categoryAxis);
    series->attachAxis(valueAxis);

    QChart *old = m_chart->chart();
    m_chart->setChart(chart);
    delete old;
}

bool SpendOverviewWindow::exportTable()
{
    if (m_exporting || !Gates::isOpen(WindowKey::SpendOverview, kExportButton))
        return false;
    m_exporting = true;
    const QList<QStringList> rows = tableRows();
    const bool ok = ExportList(this, tableTitles(), Sheet::RowSource::fromRows(rows));
    m_exporting = false;
    const QString n = QString::number(rows.size());
    WriteLogEntry(QStringLiteral("操作"),
                  ok ? QStringLiteral("成功导出合同金额统计，共导出：") + n + QStringLiteral("行")
                     : QStringLiteral("导出合同金额统计失败，共失败：") + n + QStringLiteral("行"),
                  kModule);
    return ok;
}

QWidget *CreateSpendOverviewWindow(QWidget *owner) { return new SpendOverviewWindow(owner); }

} // namespace cg
