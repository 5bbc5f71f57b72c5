#include "suppliers/SupplierQueryWindow.h"

#include "ui/Shell.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "suppliers/SupplierChangeWindow.h"
#include "suppliers/SupplierNames.h"
#include "ui/Gates.h"
#include "ui/Keys.h"
#include "ui/Seams.h"
#include "ui/SpreadsheetExport.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
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

const QString kModule = QStringLiteral("供应商查询");

void log(const QString &description) { WriteLogEntry(QStringLiteral("操作"), description, kModule); }

// The login's gate of a menu entry or button of this window. The menu shows
// it; a double-click or any other way into the same action asks it too.
bool allowed(const QString &control) { return Gates::isOpen(Gates::kSupplierQuery, control); }

} // namespace

SupplierQueryWindow::SupplierQueryWindow(QWidget *owner)
    : ChildWindow(QStringLiteral("供应商查询"), kModule, QStringLiteral("打开供应商查询窗口"), QString(), owner)
{
    setObjectName(QStringLiteral("供应商查询"));

    m_name = new QComboBox(this);
    m_name->setObjectName(QStringLiteral("组合框_名称"));
    m_name->setEditable(true);
    // The text is a fragment as typed: no completion, Enter adds no item.
    m_name->setInsertPolicy(QComboBox::NoInsert);
    m_name->setCompleter(nullptr);
    m_name->setMinimumContentsLength(24);
    m_name->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    QLabel *caption = FieldLabel(QStringLiteral("标签4"), QStringLiteral("供应商名称："), m_name, this);
    m_find = NamedButton(QStringLiteral("按钮_查找"), QStringLiteral("&F.查找"), this);
    m_export = NamedButton(QStringLiteral("按钮_导出"), QStringLiteral("&D.导出"), this);

    m_model = new SupplierListModel(this);
    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("超级列表框_供应商查询"));
    m_list->setAccessibleName(QStringLiteral("供应商查询"));
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->setWordWrap(false);
    m_list->setShowGrid(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->horizontalHeader()->setStretchLastSection(true);
    for (int c = 0; c < SupplierListModel::kColumns; ++c)
        m_list->setColumnWidth(c, SupplierListModel::columnWidths().at(c));

    m_count = new QLabel(QStringLiteral(" 共：0个供应商"), this);
    m_count->setObjectName(QStringLiteral("标签_统计"));

    m_menu = new QMenu(QStringLiteral("菜单"), this);
    m_menu->setObjectName(QStringLiteral("菜单"));
    QAction *change = NamedMenuAction(m_menu, QStringLiteral("&B.变 更"));
    m_menu->addSeparator();
    QAction *modify = NamedMenuAction(m_menu, QStringLiteral("&X.修 改"));
    QAction *remove = NamedMenuAction(m_menu, QStringLiteral("&D.删 除"));
    m_menu->addSeparator();
    QAction *audit = NamedMenuAction(m_menu, QStringLiteral("&H.审 核"));
    QAction *unaudit = NamedMenuAction(m_menu, QStringLiteral("&F.反 审"));

    auto *tools = new QHBoxLayout;
    tools->addWidget(caption);
    tools->addWidget(m_name, 1);
    tools->addWidget(m_find);
    tools->addWidget(m_export);
    tools->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->addLayout(tools);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_count);
    resize(960, 520);

    // Enter in the name box selects the first name holding the fragment.
    OnEnter(m_name, [this] { findName(); });
    connect(m_find, &QPushButton::clicked, this, [this] { query(); });
    connect(m_export, &QPushButton::clicked, this, [this] { exportList(); });
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) { showMenu(pos); });
    connect(m_list, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &index) { modifyRow(index.row()); });
    connect(change, &QAction::triggered, this, [this] { openChange(); });
    connect(modify, &QAction::triggered, this, [this] { openModify(); });
    connect(remove, &QAction::triggered, this, [this] { deleteSelected(); });
    connect(audit, &QAction::triggered, this, [this] { auditSelected(); });
    connect(unaudit, &QAction::triggered, this, [this] { unauditSelected(); });

    SupplierNames::bindCombo(m_name);
    m_name->setEditText(QString());
    logOpened();
}

SupplierQueryWindow::~SupplierQueryWindow() = default;

void SupplierQueryWindow::guarded(const std::function<void()> &fn)
{
    // A message box or the export's progress lets events through: no second
    // action, fill or export may start in the middle of one.
    if (m_busy)
        return;
    m_busy = true;
    fn();
    m_busy = false;
    if (m_closeWhenDone) {
        m_closeWhenDone = false;
        close();
    }
}

void SupplierQueryWindow::query()
{
    guarded([this] {
        m_find->setEnabled(false);
        QVector<SupplierRow> rows;
        const bool ok = Suppliers(Ctx().db()).find(m_name->currentText(), rows);
        if (m_fillProbe)
            m_fillProbe();
        const int n = ok ? int(rows.size()) : 0;
        m_model->setRows(std::move(rows));
        m_count->setText(QStringLiteral("共：") + QString::number(n) + QStringLiteral("个供应商"));
        m_find->setEnabled(true);
        log(QStringLiteral("点击查询按钮"));
    });
}

void SupplierQueryWindow::findName() { SupplierNames::findEverywhere(m_name->currentText()); }

void SupplierQueryWindow::exportList()
{
    if (!allowed(QStringLiteral("按钮_导出")))
        return;
    guarded([this] {
        const int n = m_model->rowCount();
        Sheet::RowSource rows;
        rows.rowCount = n;
        rows.cell = [model = QPointer<SupplierListModel>(m_model)](qint64 row, int column) {
            return model ? model->cell(int(row), column) : QString();
        };
        const bool ok = ExportList(this,
                                   {QStringLiteral("单据状态"), QStringLiteral("名称"), QStringLiteral("电话"),
                                    QStringLiteral("联系人"), QStringLiteral("地址"), QStringLiteral("税率"),
                                    QStringLiteral("付款方式")},
                                   rows);
        log((ok ? QStringLiteral("导出供应商数据成功！共导出 ") : QStringLiteral("导出供应商数据失败！共导出 "))
            + QString::number(n) + QStringLiteral(" 行"));
    });
}

int SupplierQueryWindow::currentRow() const
{
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void SupplierQueryWindow::selectRow(int row)
{
    if (!m_model->isRow(row)) {
        m_list->clearSelection();
        return;
    }
    m_list->selectRow(row);
}

void SupplierQueryWindow::showMenu(const QPoint &pos)
{
    if (currentRow() < 0 || m_busy)
        return;
    m_menu->popup(m_list->viewport()->mapToGlobal(pos));
}

void SupplierQueryWindow::openChange()
{
    if (allowed(QStringLiteral("&B.变 更")))
        openEditor(SupplierEditMode::Change, currentRow());
}

void SupplierQueryWindow::openModify() { modifyRow(currentRow()); }

void SupplierQueryWindow::modifyRow(int row)
{
    if (!m_model->isRow(row) || m_busy || !allowed(QStringLiteral("&X.修 改")))
        return;
    if (Suppliers(Ctx().db()).isAudited(m_model->row(row).name)) {
        guarded([this] {
            ShowMessage(QStringLiteral("不能直接修改已审核的数据，请反审核后再修改！"), QString(), MsgIcon::Information,
                        this);
        });
        return;
    }
    openEditor(SupplierEditMode::Modify, row);
}

void SupplierQueryWindow::openEditor(SupplierEditMode mode, int row)
{
    if (!m_model->isRow(row) || m_busy)
        return;
    // One change window at a time; the one open closes with its entry, its
    // unsaved edits only when the user agrees.
    if (m_change && !m_change->confirmDiscard())
        return;
    if (m_change)
        m_change->close();
    auto *w = new SupplierChangeWindow(mode, m_model->row(row).name, row, this, MainWindowWidget());
    if (!w->isLoaded()) {
        delete w;
        guarded([this] {
            ShowMessage(QStringLiteral("没有找到该供应商，请重新查询！"), QString(), MsgIcon::Error, this);
        });
        return;
    }
    m_change = w;
    w->show();
    w->raise();
    w->activateWindow();
}

SupplierChangeWindow *SupplierQueryWindow::changeWindow() const
{
    return m_change && !m_change->isHidden() ? m_change.data() : nullptr;
}

void SupplierQueryWindow::deleteSelected()
{
    const int r = currentRow();
    if (r < 0 || !allowed(QStringLiteral("&D.删 除")))
        return;
    guarded([this, r] {
        const SupplierRow row = m_model->row(r);
        Suppliers suppliers(Ctx().db(), Ctx().login.userName);
        if (suppliers.isAudited(row.name)) {
            ShowMessage(QStringLiteral("不能直接删除已审核的数据，请反审核后再删除！"), QString(), MsgIcon::Information,
                        this);
            return;
        }
        if (!AskYesNo(QStringLiteral("是否要删除") + row.name + QStringLiteral("供应商，删除后无法恢复！"), this))
            return;
        int matching = 0;
        Suppliers::Outcome outcome = suppliers.remove(row, false, &matching);
        if (outcome == Suppliers::Outcome::Several) {
            // Old data may hold the same supplier twice: all of them go, or none.
            if (!AskYesNo(Suppliers::severalQuestion(QStringLiteral("删除"), row.name, matching), this))
                return;
            outcome = suppliers.remove(row, true);
        }
        if (outcome != Suppliers::Outcome::Done) {
            ShowMessage(QStringLiteral("删除失败！"), QString(), MsgIcon::Error, this);
            return;
        }
        if (m_model->isRow(r) && m_model->row(r) == row)
            m_model->removeRowAt(r);
        // Every list row that showed one of the deleted rows goes with it.
        for (int i = m_model->indexOf(row); i >= 0; i = m_model->indexOf(row))
            m_model->removeRowAt(i);
        SupplierNames::refresh();
        m_count->setText(QStringLiteral(" 共：") + QString::number(m_model->rowCount()) + QStringLiteral("行"));
        ShowMessage(QStringLiteral("删除成功！"), QString(), MsgIcon::Information, this);
    });
}

void SupplierQueryWindow::auditSelected() { changeState(true); }
void SupplierQueryWindow::unauditSelected() { changeState(false); }

void SupplierQueryWindow::changeState(bool audit)
{
    const int r = currentRow();
    if (r < 0 || !allowed(audit ? QStringLiteral("&H.审 核") : QStringLiteral("&F.反 审")))
        return;
    guarded([this, r, audit] {
        const SupplierRow row = m_model->row(r);
        const QString &name = row.name;
        Suppliers suppliers(Ctx().db(), Ctx().login.userName);
        const bool audited = suppliers.isAudited(name);
        if (audit && audited) {
            ShowMessage(name + QStringLiteral(" 已是审核状态，不需要重复审核！"), QString(), MsgIcon::Information, this);
            return;
        }
        if (!audit && !audited) {
            ShowMessage(name + QStringLiteral(" 供应商已是未审核状态，不需要重复反审核！"), QString(),
                        MsgIcon::Information, this);
            return;
        }
        const QString state = audit ? kSupplierAudited : kSupplierNotAudited;
        int matching = 0;
        Suppliers::Outcome outcome = suppliers.setState(row, state, false, &matching);
        if (outcome == Suppliers::Outcome::Several) {
            if (!AskYesNo(Suppliers::severalQuestion(audit ? QStringLiteral("审核") : QStringLiteral("反审核"), name,
                                                     matching),
                          this))
                return;
            outcome = suppliers.setState(row, state, true);
        }
        if (outcome != Suppliers::Outcome::Done) {
            ShowMessage(name + (audit ? QStringLiteral(" 审核失败！") : QStringLiteral(" 供应商反审核失败！")), QString(),
                        MsgIcon::Error, this);
            return;
        }
        // The row acted on, and any other list row showing the same values.
        if (m_model->isRow(r) && m_model->row(r) == row)
            m_model->setState(r, state);
        for (int i = 0; i < m_model->rowCount(); ++i)
            if (m_model->row(i) == row)
                m_model->setState(i, state);
        ShowMessage(name + (audit ? QStringLiteral(" 审核成功！") : QStringLiteral(" 供应商反审核成功！")), QString(),
                    MsgIcon::Information, this);
    });
}

void SupplierQueryWindow::supplierSaved(int row, const SupplierRow &old, const SupplierRow &saved, SupplierEditMode mode,
                                        bool all)
{
    const auto rewrite = [&](int r) {
        SupplierRow shown = m_model->row(r);
        shown.state = kSupplierAudited;
        if (mode == SupplierEditMode::Modify) {
            shown.name = saved.name;
            shown.telephone = saved.telephone;
            shown.contact = saved.contact;
            shown.address = saved.address;
        }
        shown.taxRate = saved.taxRate;
        shown.paymentTerms = saved.paymentTerms;
        m_model->setRow(r, shown);
    };
    if (all) {
        // Every identical row was saved: each list row that showed one of them.
        const auto sameSix = [&old](const SupplierRow &r) {
            return r.name == old.name && r.telephone == old.telephone && r.contact == old.contact
                && r.address == old.address && r.taxRate == old.taxRate && r.paymentTerms == old.paymentTerms;
        };
        for (int r = 0; r < m_model->rowCount(); ++r)
            if (sameSix(m_model->row(r)))
                rewrite(r);
        return;
    }
    // After a new query or a delete the row may show another supplier: the
    // list is then left as it is rather than written into the wrong row.
    if (!m_model->isRow(row) || m_model->row(row).name != old.name)
        return;
    rewrite(row);
}

void SupplierQueryWindow::closeEvent(QCloseEvent *event)
{
    if (m_busy) {
        // The fill, export or action finishes first; the window closes right after it.
        m_closeWhenDone = true;
        event->ignore();
        return;
    }
    if (SupplierChangeWindow *w = changeWindow()) {
        WriteLogEntry(QStringLiteral("结束"), QStringLiteral("关闭供应商查询窗口"), kModule);
        w->close();
    }
    ChildWindow::closeEvent(event);
}

QWidget *CreateSupplierQueryWindow(QWidget *owner) { return new SupplierQueryWindow(owner); }

} // namespace cg
