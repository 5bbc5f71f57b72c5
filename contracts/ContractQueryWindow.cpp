#include "contracts/ContractQueryWindow.h"
#include "ui/Shell.h"
#include "contracts/AttachmentBrowseWindow.h"
#include "contracts/ContractChangeWindow.h"
#include "contracts/ContractRecord.h"
#include "contracts/ContractSheet.h"
#include "contracts/ResultPrompt.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "ui/Gates.h"
#include "ui/Keys.h"
#include "ui/Seams.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace cg {

namespace {

const QString kModule = QStringLiteral("合同查询");
const QString kSection = QStringLiteral("查询");
const QString kFindKey = QStringLiteral("合同字段类型");
const QString kFilterKey = QStringLiteral("合同过滤字段类型");
const QString kPrintContract = QStringLiteral("&P.打印合同…");
const QString kSavePdf = QStringLiteral("&E.保存为PDF…");
const QString kPrintList = QStringLiteral("按钮_打印列表");

// The stored PDF of the line's contract in the system's viewer: through the
// installed preview (a worker thread in the program), else here.
void openInSystemViewer(qint64 lineId)
{
    if (const AttachmentPreview hook = attachmentPreview())
        hook(lineId);
    else
        PreviewStoredAttachment(lineId);
}

ContractQueryWindow::ExportHandler &exportHandler()
{
    static ContractQueryWindow::ExportHandler h;
    return h;
}

QString table() { return Ctx().login.contractTable; }

// The login's gate of a menu entry or button of this window. The menu shows
// it; a double-click or any other way into the same action asks it too.
bool allowed(const QString &control) { return Gates::isOpen(Gates::kContractQuery, control); }

QString gateOf(BatchOperation op)
{
    switch (op) {
    case BatchOperation::Audit:
        return QStringLiteral("&H.审 核");
    case BatchOperation::Unaudit:
        return QStringLiteral("&F.反 审");
    case BatchOperation::Delete:
        break;
    }
    return QStringLiteral("&D.删除整份合同");
}

} // namespace

ContractQueryWindow::ContractQueryWindow(QWidget *owner)
    : ChildWindow(QStringLiteral("合同查询"), kModule, QStringLiteral("打开合同查询窗口"), QString(), owner)
{
    setObjectName(QStringLiteral("合同查询窗口"));

    const QFont tahoma(QStringLiteral("Tahoma"));
    m_start = new QDateEdit(this);
    m_start->setObjectName(QStringLiteral("日期框_起始"));
    m_end = new QDateEdit(this);
    m_end->setObjectName(QStringLiteral("日期框_终止"));
    for (QDateEdit *d : {m_start, m_end}) {
        d->setFont(tahoma);
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setMinimumWidth(110);
    }
    QLabel *startLabel = FieldLabel(QStringLiteral("标签2"), QStringLiteral(" 起始时间："), m_start, this);
    QLabel *endLabel = FieldLabel(QStringLiteral("标签3"), QStringLiteral(" 终止时间："), m_end, this);

    m_filterField = new QComboBox(this);
    m_filterField->setObjectName(QStringLiteral("组合框_编号名称"));
    m_filterField->addItems(ContractQuery::filterFields());
    m_filterField->setAccessibleName(QStringLiteral("过滤字段"));
    m_filterField->setMinimumWidth(92);
    m_condition = new QLineEdit(this);
    m_condition->setObjectName(QStringLiteral("编辑框_条件"));
    m_condition->setAccessibleName(QStringLiteral("过滤条件"));
    m_filterButton = NamedButton(QStringLiteral("按钮_过滤"), QStringLiteral("&F.过滤"), this);

    m_findField = new QComboBox(this);
    m_findField->setObjectName(QStringLiteral("组合框_查找名称"));
    m_findField->addItems(ContractQuery::findFields());
    m_findField->setAccessibleName(QStringLiteral("查找字段"));
    m_findField->setMinimumWidth(100);
    m_findText = new QLineEdit(this);
    m_findText->setObjectName(QStringLiteral("编辑框_查找条件"));
    m_findText->setAccessibleName(QStringLiteral("查找内容"));
    m_findButton = NamedButton(QStringLiteral("按钮_合同查找"), QStringLiteral("&C.查找"), this);
    m_exportButton = NamedButton(QStringLiteral("按钮_导出"), QStringLiteral("&D.导出"), this);
    m_printListButton = NamedButton(kPrintList, QStringLiteral("&P.打印列表…"), this);

    m_model = new ContractListModel(this);
    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("超级列表框_合同查询"));
    m_list->setAccessibleName(QStringLiteral("合同查询"));
    m_list->setModel(m_model);
    m_list->setFont(QFont(QStringLiteral("微软雅黑")));
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setWordWrap(false);
    m_list->setShowGrid(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setHighlightSections(false);
    for (int c = 0; c < ListColumn::Count; ++c)
        m_list->setColumnWidth(c, ContractQuery::listWidths().at(c));
    m_list->setColumnHidden(ListColumn::Id, true);
    // Selected rows: black text on light blue, also over a find mark.
    QPalette p = m_list->palette();
    p.setColor(QPalette::Highlight, QColor(119, 211, 241));
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(119, 211, 241));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
    m_list->setPalette(p);

    m_count = new QLabel(QStringLiteral("过滤出：0份合同"), this);
    m_count->setObjectName(QStringLiteral("标签_统计"));
    m_count->setMinimumWidth(168);
    auto *hint = new QLabel(QStringLiteral("提示：1、有附件那一行浏览附件按钮才可用，否则为禁止状态 2、先过滤后在右边的查找按钮才能"
                                           "定位出相关行数据 3、变更只能修改相关合同价格"),
                            this);
    hint->setObjectName(QStringLiteral("标签4"));

    m_menu = new QMenu(QStringLiteral("菜单"), this);
    m_menu->setObjectName(QStringLiteral("菜单"));
    m_preview = NamedMenuAction(m_menu, QStringLiteral("&L.浏览附件"));
    QAction *change = NamedMenuAction(m_menu, QStringLiteral("&B.变 更"));
    m_menu->addSeparator();
    QAction *modify = NamedMenuAction(m_menu, QStringLiteral("&X.修 改"));
    QAction *remove = NamedMenuAction(m_menu, QStringLiteral("&D.删除整份合同"));
    m_menu->addSeparator();
    QAction *audit = NamedMenuAction(m_menu, QStringLiteral("&H.审 核"));
    QAction *unaudit = NamedMenuAction(m_menu, QStringLiteral("&F.反 审"));
    m_menu->addSeparator();
    QAction *print = NamedMenuAction(m_menu, kPrintContract);
    QAction *savePdf = NamedMenuAction(m_menu, kSavePdf);

    auto *tools = new QHBoxLayout;
    tools->setSpacing(4);
    tools->addWidget(startLabel);
    tools->addWidget(m_start);
    tools->addWidget(endLabel);
    tools->addWidget(m_end);
    tools->addSpacing(4);
    tools->addWidget(m_filterField);
    tools->addWidget(m_condition, 1);
    tools->addWidget(m_filterButton);
    tools->addSpacing(6);
    tools->addWidget(m_findField);
    tools->addWidget(m_findText, 1);
    tools->addWidget(m_findButton);
    tools->addWidget(m_exportButton);
    tools->addWidget(m_printListButton);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_count);
    bottom->addWidget(hint, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->addLayout(tools);
    layout->addWidget(m_list, 1);
    layout->addLayout(bottom);
    resize(1088, 609);

    // Enter in the filter controls filters, in the find controls finds.
    for (QWidget *w : std::initializer_list<QWidget *>{m_start, m_end, m_filterField, m_condition})
        OnEnter(w, [this] { filter(); });
    for (QWidget *w : std::initializer_list<QWidget *>{m_findField, m_findText})
        OnEnter(w, [this] { find(); });

    connect(m_filterButton, &QPushButton::clicked, this, [this] { filter(); });
    connect(m_findButton, &QPushButton::clicked, this, [this] { find(); });
    connect(m_exportButton, &QPushButton::clicked, this, [this] {
        if (exportHandler() && allowed(QStringLiteral("按钮_导出")))
            exportHandler()(this);
    });
    connect(m_findField, &QComboBox::activated, this,
            [this] { Settings::write(kSection, kFindKey, m_findField->currentText()); });
    connect(m_filterField, &QComboBox::activated, this, [this] {
        Settings::write(kSection, kFilterKey, m_filterField->currentText());
        m_condition->setFocus();
    });
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) { showMenu(pos); });
    connect(m_list, &QAbstractItemView::doubleClicked, this, [this] {
        if (currentRow() >= 0)
            openModify();
    });
    connect(m_preview, &QAction::triggered, this, [this] { browseAttachment(); });
    connect(change, &QAction::triggered, this, [this] { openChange(); });
    connect(modify, &QAction::triggered, this, [this] { openModify(); });
    connect(remove, &QAction::triggered, this, [this] { deleteSelected(); });
    connect(audit, &QAction::triggered, this, [this] { auditSelected(); });
    connect(unaudit, &QAction::triggered, this, [this] { unauditSelected(); });
    connect(print, &QAction::triggered, this, [this] { printContract(); });
    connect(savePdf, &QAction::triggered, this, [this] { saveContractPdf(); });
    connect(m_printListButton, &QPushButton::clicked, this, [this] { printList(); });

    // The first of this month up to today.
    const QDate today = Clock::now().date();
    m_start->setDate(today.addDays(1 - today.day()));
    m_end->setDate(today);
    logOpened();
    m_findField->setCurrentIndex(m_findField->findText(Settings::read(kSection, kFindKey, QStringLiteral("产品"))));
    m_filterField->setCurrentIndex(
        m_filterField->findText(Settings::read(kSection, kFilterKey, QStringLiteral("申请人"))));
}

ContractQueryWindow::~ContractQueryWindow() = default;

void ContractQueryWindow::setExportHandler(ExportHandler handler) { exportHandler() = std::move(handler); }

FilterInput ContractQueryWindow::filterInput() const
{
    return {m_start->date(), m_end->date(), m_filterField->currentIndex() < 0 ? QString() : m_filterField->currentText(),
            m_condition->text()};
}

void ContractQueryWindow::filter()
{
    if (m_filling || m_batching)
        return;
    m_model->clearHighlights();
    const Filter f = ContractQuery(Ctx().db(), table()).buildFilter(filterInput());
    if (f.datesOutOfOrder)
        ShowMessage(QStringLiteral("终止时间不能小于起始时间，请重新设定过滤时间！"), QString(), MsgIcon::Information, this);
    else
        fill(f);
    WriteLogEntry(QStringLiteral("操作"), QStringLiteral("查询合同"), kModule);
    if (m_closeWhenDone) {
        m_closeWhenDone = false;
        close();
    }
}

void ContractQueryWindow::showContract(const QString &number, const QDate &documentDate)
{
    if (m_filling || m_batching)
        return;
    m_start->setDate(documentDate.isValid() ? documentDate : m_start->minimumDate());
    m_end->setDate(documentDate.isValid() ? documentDate : m_end->maximumDate());
    m_filterField->setCurrentIndex(m_filterField->findText(QStringLiteral("合同编号")));
    m_condition->setText(number);
    filter();
}

void ContractQueryWindow::fill(const Filter &filter)
{
    m_filling = true;
    m_filterButton->setEnabled(false);
    ListLines lines;
    const bool ok = ContractQuery(Ctx().db(), table()).read(filter, lines);
    if (m_fillProbe)
        m_fillProbe();
    // What the printed list names as its filter: the values this fill ran with.
    const FilterInput in = filterInput();
    m_listFilter = QStringLiteral("制单日期：") + in.start.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 至 ")
                   + in.end.toString(QStringLiteral("yyyy-MM-dd"));
    if (!in.field.isEmpty() && !in.condition.isEmpty())
        m_listFilter += QStringLiteral("，") + in.field + QStringLiteral("包含“") + in.condition + QStringLiteral("”");
    if (ok) {
        m_model->setLines(std::move(lines));
        m_count->setText(QStringLiteral("过滤出：") + QString::number(m_model->contractCount())
                         + QStringLiteral(" 份合同"));
    } else {
        m_model->clear();
        m_count->setText(QStringLiteral("过滤出：0 份合同"));
    }
    m_filterButton->setEnabled(true);
    m_filling = false;
}

void ContractQueryWindow::find()
{
    m_model->clearHighlights();
    const QString text = m_findText->text();
    const int column = m_findField->currentIndex();
    if (text.isEmpty() || column < 0)
        return;
    const QVector<int> rows = m_model->highlightMatching(column, text);
    for (int r : rows)
        m_list->scrollTo(m_model->index(r, 0));
}

int ContractQueryWindow::currentRow() const
{
    const QItemSelectionModel *sel = m_list->selectionModel();
    const QModelIndex current = m_list->currentIndex();
    if (current.isValid() && sel->isRowSelected(current.row(), {}))
        return current.row();
    const QModelIndexList rows = sel->selectedRows();
    if (rows.isEmpty())
        return -1;
    int top = rows.first().row();
    for (const QModelIndex &i : rows)
        top = qMin(top, i.row());
    return top;
}

qint64 ContractQueryWindow::currentContractId() const
{
    const int row = currentRow();
    return row < 0 ? 0 : m_model->contractId(row);
}

QVector<SelectedContract> ContractQueryWindow::selectedContracts() const
{
    QList<int> rows;
    for (const QModelIndex &i : m_list->selectionModel()->selectedRows())
        rows << i.row();
    return m_model->selection(rows);
}

qint64 ContractQueryWindow::workingId() const
{
    // Column 21 names the contract; when that line went meanwhile (another
    // workstation deleted it), the row's own line still names the same one.
    const int row = currentRow();
    if (row < 0)
        return 0;
    const qint64 head = m_model->contractId(row);
    bool found = false;
    ContractQuery(Ctx().db(), table()).numberOf(head, &found);
    return found ? head : m_model->lineId(row);
}

void ContractQueryWindow::showMenu(const QPoint &pos)
{
    const qint64 id = currentContractId();
    if (id == 0)
        return;
    // The menu entry follows the contract the preview would show.
    const ContractQuery q(Ctx().db(), table());
    m_preview->setEnabled(q.hasAttachment(q.numberOf(id)));
    m_menu->popup(m_list->viewport()->mapToGlobal(pos));
}

void ContractQueryWindow::browseAttachment()
{
    const qint64 id = workingId();
    if (id == 0)
        return;
    // One window follows the contract chosen last.
    if (!m_browse) {
        m_browse = new AttachmentBrowseWindow(MainWindowWidget(), openInSystemViewer);
    }
    m_browse->showContract(id);
    m_browse->show();
    m_browse->raise();
    m_browse->activateWindow();
}

AttachmentBrowseWindow *ContractQueryWindow::browseWindow() const { return m_browse.data(); }

void ContractQueryWindow::previewAttachment()
{
    const qint64 id = workingId();
    if (id == 0)
        return;
    openInSystemViewer(id);
}

void ContractQueryWindow::openChange()
{
    if (allowed(QStringLiteral("&B.变 更")))
        openChangeWindow(ChangeMode::Change);
}

void ContractQueryWindow::openModify()
{
    const qint64 id = workingId();
    if (id == 0 || !allowed(QStringLiteral("&X.修 改")))
        return;
    if (ContractQuery(Ctx().db(), table()).isAudited(id)) {
        ShowMessage(QStringLiteral("不能直接修改已审核的数据，请反审核后再修改！"), QString(), MsgIcon::Information, this);
        return;
    }
    openChangeWindow(ChangeMode::Modify);
}

void ContractQueryWindow::openChangeWindow(ChangeMode mode)
{
    const qint64 id = workingId();
    if (id == 0 || m_filling || m_batching)
        return;
    // Unsaved edits of the open window go only when the user agrees.
    if (m_change && !m_change->confirmDiscard())
        return;
    if (m_change)
        m_change->close();
    auto *w = new ContractChangeWindow(mode, id, this, MainWindowWidget());
    if (!w->isLoaded()) {
        delete w;
        ShowMessage(QStringLiteral("没有找到该合同，请重新过滤！"), QString(), MsgIcon::Error, this);
        return;
    }
    m_change = w;
    w->show();
    w->raise();
    w->activateWindow();
}

ContractChangeWindow *ContractQueryWindow::changeWindow() const
{
    return m_change && !m_change->isHidden() ? m_change.data() : nullptr;
}

void ContractQueryWindow::deleteSelected() { runBatch(BatchOperation::Delete); }
void ContractQueryWindow::auditSelected() { runBatch(BatchOperation::Audit); }
void ContractQueryWindow::unauditSelected() { runBatch(BatchOperation::Unaudit); }

void ContractQueryWindow::printContract()
{
    const qint64 id = workingId();
    if (id == 0 || m_filling || m_batching || !allowed(kPrintContract))
        return;
    PrintContract(this, id, kModule);
}

void ContractQueryWindow::saveContractPdf()
{
    const qint64 id = workingId();
    if (id == 0 || m_filling || m_batching || !allowed(kSavePdf))
        return;
    SaveContractPdf(this, id, kModule);
}

void ContractQueryWindow::printList()
{
    if (m_filling || m_batching || !allowed(kPrintList))
        return;
    PrintContractList(this, *m_model, m_listFilter, kModule);
}

void ContractQueryWindow::report(int contracts, BatchOperation op, const BatchResult &result)
{
    const QString text = ContractBatch::message(op, result.outcome, result.number);
    if (contracts < 2)
        ShowMessage(text, QString(), ContractBatch::isError(op, result.outcome) ? MsgIcon::Error : MsgIcon::Information,
                    this);
    else
        ResultPrompt::append(text);
}

void ContractQueryWindow::runBatch(BatchOperation op)
{
    // A message box of the batch must not let another batch or a fill start.
    if (m_filling || m_batching || !allowed(gateOf(op)))
        return;
    m_batching = true;
    runBatchEntries(op);
    m_batching = false;
    if (m_closeWhenDone) {
        m_closeWhenDone = false;
        close();
    }
}

void ContractQueryWindow::runBatchEntries(BatchOperation op)
{
    const QVector<SelectedContract> entries = selectedContracts();
    if (entries.isEmpty())
        return;
    const int n = entries.size();
    if (op == BatchOperation::Delete
        && !AskYesNo(QStringLiteral("是否要删除已选择") + QString::number(n) + QStringLiteral("份合同，删除后无法恢复！"),
                     this))
        return;
    const LoginContext &lc = Ctx().login;
    ContractBatch batch(Ctx().db(), lc.contractTable, lc.accountSetName, lc.userName);
    for (const SelectedContract &e : entries) {
        const BatchResult r = batch.apply(op, e.id, m_model->cell(e.headRow, ListColumn::Number));
        report(n, op, r);
        if (r.outcome != BatchOutcome::Done)
            continue;
        // The list may have moved under a message box; find the head row again.
        int head = e.headRow;
        if (m_model->contractId(head) != e.id || !m_model->isHead(head))
            head = m_model->rowOfLine(e.id);
        if (head < 0)
            continue;
        if (op == BatchOperation::Delete)
            m_model->removeContract(head, e.id);
        else
            m_model->setState(head, op == BatchOperation::Audit ? AuditState::Audited : AuditState::NotAudited);
    }
    if (op != BatchOperation::Delete)
        return;
    const ContractQuery q(Ctx().db(), table());
    const Filter f = q.buildFilter(filterInput());
    if (f.datesOutOfOrder)
        ShowMessage(QStringLiteral("终止时间不能小于起始时间，请重新设定过滤时间！"), QString(), MsgIcon::Information, this);
    const int count = f.datesOutOfOrder ? 0 : qMax(0, q.countContracts(f));
    m_count->setText(QStringLiteral(" 共：") + QString::number(count) + QStringLiteral(" 份合同"));
}

void ContractQueryWindow::contractSaved(const SavedContract &saved)
{
    QHash<qint64, int> lineOf;
    for (int k = 0; k < saved.lineIds.size(); ++k)
        lineOf.insert(saved.lineIds.at(k), k);
    const ContractHeader &h = saved.header;
    const bool modify = saved.mode == ChangeMode::Modify;
    m_model->editLines(saved.lineIds, [&](ContractLine &line) {
        auto &c = line.cells;
        c[ListColumn::State] = AuditState::Audited;
        c[ListColumn::First] = h.first;
        c[ListColumn::Second] = h.second;
        c[ListColumn::Third] = h.third;
        c[ListColumn::Fourth] = h.fourth;
        c[ListColumn::Remaining] = h.remaining;
        if (!modify)
            return;
        c[ListColumn::Number] = h.number;
        c[ListColumn::Requester] = h.requester;
        c[ListColumn::Department] = h.department;
        c[ListColumn::Buyer] = h.buyer;
        c[ListColumn::Supplier] = h.supplier;
        c[ListColumn::DocumentDate] = h.documentDate;
        c[ListColumn::EffectiveDate] = h.effectiveDate;
        c[ListColumn::ExpiryDate] = h.expiryDate;
        c[ListColumn::Amount] = h.amount;
        c[ListColumn::PaymentTerms] = h.paymentTerms;
        c[ListColumn::TaxRate] = h.taxRate;
        const int k = lineOf.value(line.id, -1);
        if (k >= 0 && k < saved.lines.size()) {
            c[ListColumn::Product] = saved.lines.at(k).product;
            c[ListColumn::Quantity] = saved.lines.at(k).quantity;
            c[ListColumn::Unit] = saved.lines.at(k).unit;
        }
        line.contractHasAttachment = saved.hasAttachment;
    });
}

void ContractQueryWindow::lineDeleted(qint64 lineId)
{
    const int before = m_model->contractCount();
    m_model->removeLine(lineId);
    if (m_model->contractCount() != before)
        m_count->setText(QStringLiteral("过滤出：") + QString::number(m_model->contractCount())
                         + QStringLiteral(" 份合同"));
}

void ContractQueryWindow::closeEvent(QCloseEvent *event)
{
    if (m_filling || m_batching) {
        // The fill or batch finishes first; the window closes right after it.
        m_closeWhenDone = true;
        event->ignore();
        return;
    }
    if (ContractChangeWindow *w = changeWindow()) {
        // The change window goes with this one: its unsaved edits only when
        // the user agrees.
        if (!w->confirmDiscard()) {
            event->ignore();
            return;
        }
        WriteLogEntry(QStringLiteral("结束"), QStringLiteral("关闭合同查询窗口"), kModule);
        w->close();
    }
    if (m_browse)
        m_browse->close();
    ChildWindow::closeEvent(event);
}

bool PreviewStoredAttachment(qint64 lineId)
{
    const QByteArray bytes = ContractQuery(Ctx().db(), table()).storedAttachment(lineId);
    if (bytes.isEmpty())
        return false;
    const QString path = Ctx().workFolder() + QStringLiteral("合同PDF预览.pdf");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return false;
    file.close();
#ifdef Q_OS_WIN
    return Launcher::start(QStringLiteral("explorer"), {QDir::toNativeSeparators(path)});
#else
    return Launcher::start(QStringLiteral("xdg-open"), {path});
#endif
}

QWidget *CreateContractQueryWindow(QWidget *owner) { return new ContractQueryWindow(owner); }

} // namespace cg
