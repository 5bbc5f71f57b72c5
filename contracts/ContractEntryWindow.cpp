#include "contracts/ContractEntryWindow.h"
#include "ui/Shell.h"
#include "contracts/ContractImport.h"
#include "contracts/ContractImportRun.h"

#include "data/Context.h"
#include "data/OperationLog.h"
#include "masterdata/BasicData.h"
#include "suppliers/SupplierNames.h"
#include "ui/ComboSelect.h"
#include "ui/Keys.h"
#include "ui/Seams.h"
#include "ui/SpreadsheetImport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace cg {

namespace {

int g_savedCount = 0;

const QString kModule = ContractEntry::kModule;

QString dateText(const QDate &date) { return date.toString(QStringLiteral("yyyy-MM-dd")); }

} // namespace

// The unit column offers the units of the basic data as a drop-down; a unit
// may still be typed.
class UnitDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void setUnits(const QStringList &units) { m_units = units; }
    const QStringList &units() const { return m_units; }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        auto *box = new QComboBox(parent);
        box->setObjectName(QStringLiteral("组合框_计量单位"));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setCompleter(nullptr);
        box->addItems(m_units);
        return box;
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *box = static_cast<QComboBox *>(editor);
        const QString text = index.data(Qt::EditRole).toString();
        const int i = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        box->setCurrentIndex(i);
        box->setEditText(text);
    }
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        model->setData(index, static_cast<QComboBox *>(editor)->currentText(), Qt::EditRole);
    }

private:
    QStringList m_units;
};

int ContractEntryWindow::savedCount() { return g_savedCount; }

QComboBox *ContractEntryWindow::combo(const QString &name)
{
    auto *box = new QComboBox(this);
    box->setObjectName(name);
    box->setEditable(true);
    // What is typed is taken as typed: no completion, and Enter does not
    // add the text to the list.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(6);
    return box;
}

QLineEdit *ContractEntryWindow::edit(const QString &name)
{
    auto *e = new QLineEdit(this);
    e->setObjectName(name);
    return e;
}

ContractEntryWindow::ContractEntryWindow(QWidget *owner)
    : ChildWindow(QStringLiteral("合同录入"), kModule, QStringLiteral("打开合同录入窗口"),
                  QStringLiteral("关闭合同录入窗口"), owner)
{
    setObjectName(QStringLiteral("合同录入"));

    m_number = edit(QStringLiteral("编辑框_合同编号"));
    m_documentDate = edit(QStringLiteral("编辑框_制单日期"));
    m_requester = combo(QStringLiteral("组合框_申请人"));
    m_buyer = combo(QStringLiteral("组合框_采购员"));
    m_department = combo(QStringLiteral("组合框_申请部门"));
    m_supplier = combo(QStringLiteral("组合框_供应商"));
    m_supplier->setMinimumContentsLength(14);
    m_paymentTerms = combo(QStringLiteral("组合框_付款方式"));
    m_taxRate = combo(QStringLiteral("组合框_税率"));
    const QDate today = Clock::now().date();
    for (QDateEdit **d : {&m_effective, &m_expiry}) {
        *d = new QDateEdit(today, this);
        (*d)->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        (*d)->setCalendarPopup(true);
    }
    m_effective->setObjectName(QStringLiteral("日期框_生效日期"));
    m_expiry->setObjectName(QStringLiteral("日期框_失效日期"));
    m_amount = edit(QStringLiteral("编辑框_合同总金额"));
    m_first = edit(QStringLiteral("编辑框_第一次付款"));
    m_second = edit(QStringLiteral("编辑框_第二次付款"));
    m_third = edit(QStringLiteral("编辑框_第三次付款"));
    m_fourth = edit(QStringLiteral("编辑框_第四次付款"));
    m_remaining = edit(QStringLiteral("编辑框_剩余尾款"));
    m_remaining->setReadOnly(true);
    for (QLineEdit *e : {m_amount, m_first, m_second, m_third, m_fourth, m_remaining})
        e->setText(QStringLiteral("0"));

    QPushButton *attach = NamedButton(QStringLiteral("按钮_附件"), QStringLiteral("附件"), this);

    // Header fields, three label/field pairs to a row; the supplier's name
    // gets the width of two.
    const struct {
        QWidget *field;
        const char16_t *caption;
        int row, pair, pairs;
    } fields[] = {
        {m_number, u"合同编号：", 0, 0, 1},     {m_documentDate, u"制单日期：", 0, 1, 1},
        {m_requester, u"申请人：", 0, 2, 1},    {m_department, u"申请部门：", 1, 0, 1},
        {m_buyer, u"采购员：", 1, 1, 1},        {m_taxRate, u"税率：", 1, 2, 1},
        {m_supplier, u"供应商：", 2, 0, 2},     {m_paymentTerms, u"付款方式：", 2, 2, 1},
        {m_effective, u"生效日期：", 3, 0, 1},  {m_expiry, u"失效日期：", 3, 1, 1},
        {m_amount, u"合同总金额：", 3, 2, 1},   {m_first, u"第一次付款：", 4, 0, 1},
        {m_second, u"第二次付款：", 4, 1, 1},   {m_third, u"第三次付款：", 4, 2, 1},
        {m_fourth, u"第四次付款：", 5, 0, 1},   {m_remaining, u"剩余尾款：", 5, 1, 1},
    };
    auto *form = new QGridLayout;
    form->setHorizontalSpacing(6);
    form->setVerticalSpacing(6);
    for (const auto &f : fields) {
        const QString caption = QString::fromUtf16(f.caption);
        QLabel *label = FieldLabel(QStringLiteral("标签_") + caption.chopped(1), caption, f.field, this);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        form->addWidget(label, f.row, f.pair * 2);
        form->addWidget(f.field, f.row, f.pair * 2 + 1, 1, f.pairs * 2 - 1);
    }
    form->addWidget(attach, 5, 5, Qt::AlignLeft);
    for (int c = 1; c < 6; c += 2)
        form->setColumnStretch(c, 1);
    form->setRowStretch(6, 1);

    m_grid = new QTableWidget(1, 3, this);
    m_grid->setObjectName(QStringLiteral("高级表格_产品"));
    m_grid->setAccessibleName(QStringLiteral("产品"));
    m_grid->setHorizontalHeaderLabels({QStringLiteral("购买产品"), QStringLiteral("数量"), QStringLiteral("单位")});
    m_grid->setColumnWidth(0, 225);
    m_grid->setColumnWidth(1, 60);
    m_grid->setColumnWidth(2, 60);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->verticalHeader()->setDefaultSectionSize(24);
    m_grid->verticalHeader()->setFixedWidth(24);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::AllEditTriggers);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    m_grid->setFixedWidth(225 + 60 + 60 + 24 + 2 * m_grid->frameWidth() + 4);
    m_unitDelegate = new UnitDelegate(m_grid);
    m_grid->setItemDelegateForColumn(2, m_unitDelegate);

    m_menu = new QMenu(QStringLiteral("菜单"), this);
    m_menu->setObjectName(QStringLiteral("菜单"));
    QAction *addAction = m_menu->addAction(QStringLiteral("&N.增加一行"));
    addAction->setObjectName(QStringLiteral("菜单_增加一行"));
    m_menu->addSeparator();
    QAction *deleteAction = m_menu->addAction(QStringLiteral("&D.删除选中"));
    deleteAction->setObjectName(QStringLiteral("菜单_删除选中"));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("超级列表框_合同录入"));
    m_list->setAccessibleName(QStringLiteral("合同录入"));
    const struct {
        const char16_t *title;
        int width;
    } columns[] = {
        {u"单据状态", 70},        {u"合同编号", 100},       {u"检查号", 0},           {u"申请人", 70},
        {u"申请部门", 100},       {u"采购员", 70},          {u"供应商", 150},         {u"购买产品/设备名称", 150},
        {u"设备数量", 80},        {u"计量单位", 80},        {u"制单日期", 80},        {u"生效日期", 80},
        {u"失效日期", 80},        {u"合同总金额(元)", 150}, {u"付款方式", 100},       {u"第一次付款(元)", 100},
        {u"第二次付款(元)", 100}, {u"第三次付款(元)", 100}, {u"第四次付款(元)", 100}, {u"剩余尾款(元)", 100},
        {u"税    率", 100},       {u"附    件", 60},
    };
    QStringList titles;
    for (const auto &c : columns)
        titles << QString::fromUtf16(c.title);
    m_list->setColumnCount(titles.size());
    m_list->setHeaderLabels(titles);
    for (int c = 0; c < titles.size(); ++c)
        if (columns[c].width > 0)
            m_list->setColumnWidth(c, columns[c].width);
    m_list->header()->setStretchLastSection(false);
    // 检查号 is kept in the list but not shown.
    m_list->setColumnHidden(2, true);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAlternatingRowColors(true);

    m_count = new QLabel(QStringLiteral(" 共录入：0份合同"), this);
    m_count->setObjectName(QStringLiteral("标签_统计"));
    auto *hint21 = new QLabel(QStringLiteral("点击导入按钮后添加数据到表格内，确认无误后点击保存按钮。"), this);
    hint21->setObjectName(QStringLiteral("标签21"));
    auto *hint23 = new QLabel(QStringLiteral("提示：批量导入暂时不支持附件的添加"), this);
    hint23->setObjectName(QStringLiteral("标签23"));
    QPushButton *templ = NamedButton(QStringLiteral("按钮_模板"), QStringLiteral("&M.模板下载"), this);
    QPushButton *import = NamedButton(QStringLiteral("按钮_导入"), QStringLiteral("&D.导入"), this);
    QPushButton *clear = NamedButton(QStringLiteral("按钮_清空"), QStringLiteral("&Q.清空"), this);
    QPushButton *saveButton = NamedButton(QStringLiteral("按钮_保存"), QStringLiteral("&S.保存"), this);
    QPushButton *closeButton = NamedButton(QStringLiteral("按钮_关闭"), QStringLiteral("&C.关闭"), this);

    auto *top = new QHBoxLayout;
    top->addLayout(form, 1);
    top->addSpacing(6);
    top->addWidget(m_grid);

    auto *hints = new QVBoxLayout;
    hints->setSpacing(0);
    hints->addWidget(hint21);
    hints->addWidget(hint23);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_count);
    bottom->addSpacing(12);
    bottom->addLayout(hints);
    bottom->addStretch();
    for (QPushButton *b : {templ, import, clear, saveButton, closeButton})
        bottom->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addLayout(bottom);
    resize(1024, 454);
    setMinimumSize(880, 420);

    // Enter in these boxes looks the typed fragment up.
    const struct {
        QComboBox *box;
        LookupField field;
    } lookups[] = {{m_supplier, LookupField::Supplier},
                   {m_buyer, LookupField::Buyer},
                   {m_department, LookupField::Department},
                   {m_requester, LookupField::Requester}};
    for (const auto &l : lookups)
        OnEnter(l.box, [this, l] { lookup(l.field, l.box); });

    for (QLineEdit *e : {m_amount, m_first, m_second, m_third, m_fourth})
        connect(e, &QLineEdit::textChanged, this, [this] { recomputeBalance(); });
    connect(m_supplier, &QComboBox::currentTextChanged, this, [this] { applySupplierDefaults(); });
    connect(m_grid, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) { showGridMenu(pos); });
    connect(addAction, &QAction::triggered, this, [this] { addLine(); });
    connect(deleteAction, &QAction::triggered, this, [this] { deleteCurrentLine(); });
    connect(attach, &QPushButton::clicked, this, [this] { chooseAttachment(); });
    connect(templ, &QPushButton::clicked, this, [this] { downloadTemplate(); });
    connect(import, &QPushButton::clicked, this, [this] { loadWorkbook(); });
    connect(clear, &QPushButton::clicked, this, [this] { clearList(); });
    m_importSave = [this] { return saveImportedRows(); };
    connect(saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(closeButton, &QPushButton::clicked, this, [this] { close(); });

    // The lists, refreshed now in every window that offers them and kept up
    // to date while this window is open.
    SupplierNames::bindCombo(m_supplier);
    BasicData::bindCombo(m_paymentTerms, BasicData::Kind::PaymentTerms);
    QPointer<UnitDelegate> units(m_unitDelegate);
    BasicData::bind(m_unitDelegate, BasicData::Kind::Unit, [units](const QStringList &values) {
        if (units)
            units->setUnits(values);
    });
    BasicData::bindCombo(m_buyer, BasicData::Kind::Buyer);
    BasicData::bindCombo(m_department, BasicData::Kind::Department);
    BasicData::bindCombo(m_requester, BasicData::Kind::Requester);
    BasicData::bindCombo(m_taxRate, BasicData::Kind::TaxRate);
    ContractLookup::bindTarget(m_buyer, LookupField::Buyer);
    ContractLookup::bindTarget(m_department, LookupField::Department);
    ContractLookup::bindTarget(m_requester, LookupField::Requester);

    const LoginContext &login = Ctx().login;
    proposeNumber(ContractStore(Ctx().db(), login.contractTable, login.accountSetName));
    m_documentDate->setText(dateText(today));
    logOpened();
}

// ------------------------------------------------------------------- form

ContractForm ContractEntryWindow::form() const
{
    ContractForm f;
    f.number = m_number->text();
    f.documentDate = m_documentDate->text();
    f.requester = m_requester->currentText();
    f.department = m_department->currentText();
    f.buyer = m_buyer->currentText();
    f.supplier = m_supplier->currentText();
    f.effective = m_effective->date();
    f.expiry = m_expiry->date();
    f.paymentTerms = m_paymentTerms->currentText();
    f.taxRate = m_taxRate->currentText();
    f.amount = m_amount->text();
    f.first = m_first->text();
    f.second = m_second->text();
    f.third = m_third->text();
    f.fourth = m_fourth->text();
    f.remaining = m_remaining->text();
    return f;
}

QList<ProductLine> ContractEntryWindow::lines() const
{
    QList<ProductLine> out;
    auto cell = [this](int row, int column) {
        const QTableWidgetItem *item = m_grid->item(row, column);
        return item ? item->text() : QString();
    };
    for (int r = 0; r < m_grid->rowCount(); ++r)
        out << ProductLine{cell(r, 0), cell(r, 1), cell(r, 2)};
    return out;
}

void ContractEntryWindow::commitGridEdit()
{
    // A cell still being edited belongs to the line as well.
    if (QWidget *editor = m_grid->indexWidget(m_grid->currentIndex())) {
        QMetaObject::invokeMethod(m_grid, "commitData", Q_ARG(QWidget *, editor));
        QMetaObject::invokeMethod(m_grid, "closeEditor", Q_ARG(QWidget *, editor),
                                  Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::NoHint));
    }
}

void ContractEntryWindow::recomputeBalance()
{
    m_remaining->setText(
        RemainingBalance(m_amount->text(), m_first->text(), m_second->text(), m_third->text(), m_fourth->text()));
}

void ContractEntryWindow::applySupplierDefaults()
{
    // Only a supplier that is stored brings its terms; a name still being
    // typed changes nothing.
    const SupplierNames::Terms terms = SupplierNames::termsOf(Ctx().db(), m_supplier->currentText());
    if (!terms.found)
        return;
    SelectByPrefix(m_taxRate, terms.taxRate);
    SelectByPrefix(m_paymentTerms, terms.paymentTerms);
}

void ContractEntryWindow::lookup(LookupField field, QComboBox *box)
{
    WriteLogEntry(QStringLiteral("操作"), ContractLookup::logText(field), kModule);
    const QString found = ContractLookup::findFirst(Ctx().db(), field, box->currentText());
    ContractLookup::selectEverywhere(field, found);
    if (field == LookupField::Supplier)
        applySupplierDefaults();
}

// ------------------------------------------------------------------- grid

void ContractEntryWindow::showGridMenu(const QPoint &pos)
{
    // The cell under the pointer becomes the current one first.
    const QModelIndex index = m_grid->indexAt(pos);
    if (index.isValid())
        m_grid->setCurrentCell(index.row(), index.column());
    if (m_grid->currentRow() < 0)
        return;
    m_menu->popup(m_grid->viewport()->mapToGlobal(pos));
}

void ContractEntryWindow::addLine() { m_grid->insertRow(m_grid->rowCount()); }

void ContractEntryWindow::deleteCurrentLine()
{
    // The last product line stays.
    const int row = m_grid->currentRow();
    if (m_grid->rowCount() < 2 || row < 0)
        return;
    m_grid->removeRow(row);
}

void ContractEntryWindow::chooseAttachment() { Attachments::chooseForEntry(this, m_pending); }

// ------------------------------------------------------------------- save

void ContractEntryWindow::save()
{
    commitGridEdit();
    if (!ContractEntry::datesInOrder(m_effective->date(), m_expiry->date())) {
        ShowInfo(QStringLiteral("失效日期不可小于生效日期，请重新设定！"), this);
        m_expiry->setDate(Clock::now().date());
        return;
    }
    const LoginContext &login = Ctx().login;
    ContractEntry entry(Ctx().db(), login);
    if (m_importMode) {
        // A second press while the rows are still going in does nothing.
        if (m_importing)
            return;
        if (m_importSave && m_importSave())
            m_importMode = false;
        m_count->setText(QString());
        proposeNumber(entry.store());
        return;
    }
    if (!entry.isAccountSetOfYear(Clock::now().date().year())) {
        ShowError(ContractEntry::message(ContractEntry::Outcome::NotThisYear), this);
        return;
    }
    const ContractForm values = form();
    const QList<ProductLine> productLines = lines();
    const ContractEntry::Check check = ContractEntry::firstMissing(values, productLines);
    if (check.outcome != ContractEntry::Outcome::Saved) {
        ShowInfo(check.message, this);
        return;
    }
    // A number the clerk typed is theirs: taken meanwhile, it is refused.
    // The untouched proposal moves on to the next free number instead.
    const QString proposal = m_number->isModified() ? QString() : m_proposedNumber;
    QString storedNumber;
    const ContractEntry::Outcome outcome =
        entry.save(values, productLines, m_pending.bytes(), proposal, &storedNumber);
    if (outcome != ContractEntry::Outcome::Saved) {
        // Nothing was stored: the form, the grid and the chosen file stay.
        ShowError(ContractEntry::message(outcome), this);
        return;
    }
    ContractForm stored = values;
    stored.number = storedNumber;
    const QList<ContractRow> rows = ContractEntry::rowsOf(stored, productLines);
    m_pending.clear();
    appendToList(rows, entry.store().hasAttachment(stored.number));
    resetForm(entry.store());
    ++g_savedCount;
    SetHint(m_count, QStringLiteral("共录入：") + QString::number(g_savedCount) + QStringLiteral(" 份合同"), true);
    ShowInfo(ContractEntry::savedMessage(values.number, storedNumber), this);
}

void ContractEntryWindow::appendToList(const QList<ContractRow> &rows, bool withAttachment)
{
    for (int i = 0; i < rows.size(); ++i) {
        const ContractRow &r = rows[i];
        QStringList cells = {r.state,       r.number,        r.subNumber,  r.requester,    r.department,
                             r.buyer,       r.supplier,      r.product,    r.quantity,     r.unit,
                             r.documentDate, r.effectiveDate, r.expiryDate, r.amount,      r.paymentTerms,
                             r.first,       r.second,        r.third,      r.fourth,       r.remaining,
                             r.taxRate,     withAttachment ? QStringLiteral("有附件") : QString()};
        // A contract shows its header values once, on its first line.
        if (i > 0) {
            for (int c = 0; c < cells.size(); ++c)
                if (c < 7 || c > 9)
                    cells[c].clear();
        }
        m_list->addTopLevelItem(new QTreeWidgetItem(cells));
    }
    if (m_list->topLevelItemCount() > 0)
        m_list->scrollToItem(m_list->topLevelItem(m_list->topLevelItemCount() - 1));
}

void ContractEntryWindow::resetForm(const ContractStore &store)
{
    while (m_grid->rowCount() > 1)
        m_grid->removeRow(m_grid->rowCount() - 1);
    if (m_grid->rowCount() == 0)
        m_grid->insertRow(0);
    for (int c = 0; c < 3; ++c)
        if (QTableWidgetItem *item = m_grid->item(0, c))
            item->setText(QString());
    const QDate today = Clock::now().date();
    m_effective->setDate(today);
    m_expiry->setDate(today);
    m_supplier->setEditText(QString());
    m_requester->setEditText(QString());
    for (QComboBox *box : {m_department, m_buyer, m_paymentTerms, m_taxRate}) {
        box->setCurrentIndex(box->count() > 0 ? 0 : -1);
        box->setEditText(box->itemText(0));
    }
    for (QLineEdit *e : {m_amount, m_first, m_second, m_third, m_fourth, m_remaining})
        e->setText(QStringLiteral("0"));
    proposeNumber(store);
}

void ContractEntryWindow::proposeNumber(const ContractStore &store)
{
    m_proposedNumber = store.nextNumber();
    m_number->setText(m_proposedNumber);
}

// ----------------------------------------------------------------- import

void ContractEntryWindow::downloadTemplate()
{
    QString path = FileDialogs::saveFile(this, QStringLiteral("另存为"), QStringLiteral("Excel文件 (*.xlsx)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) != 0)
        path += QStringLiteral(".xlsx");
    const Sheet::ExportResult written = Sheet::WriteTemplate(path, ContractImport::templateSheet());
    if (written.ok()) {
        ShowInfo(QStringLiteral("下载成功！"), this);
        return;
    }
    qWarning("template %s not written: %s", qPrintable(path), qPrintable(written.detail));
    ShowError(QStringLiteral("下载失败！请检查是否有文件写入权限！"), this);
}

void ContractEntryWindow::loadWorkbook()
{
    if (m_importing)
        return;
    // A file that was not read leaves the list as it was.
    if (!ImportIntoList(this, m_list, ContractImport::readerTitles())) {
        m_importMode = false;
        return;
    }
    m_importMode = true;
    m_count->setText(QString());
    ShowInfo(QStringLiteral("加载成功，请检查已加载的数据无误后点击[保存]按钮导入到系统"), this);
}

void ContractEntryWindow::clearList()
{
    if (m_importing)
        return;
    m_list->clear();
    m_importMode = false;
}

bool ContractEntryWindow::saveImportedRows()
{
    if (m_importing)
        return false;
    m_importing = true;
    QList<QStringList> rows;
    rows.reserve(m_list->topLevelItemCount());
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = m_list->topLevelItem(i);
        QStringList cells;
        for (int c = 0; c < ContractImport::kColumns; ++c)
            cells << item->text(c);
        rows << cells;
    }
    // The rows go in on a worker; this window keeps painting meanwhile and
    // m_importing keeps its buttons from starting anything else.
    const ContractImport::Result result = RunContractImport(this, Ctx().db(), Ctx().login, rows);
    m_importing = false;
    ContractImport import(Ctx().db(), Ctx().login);
    if (result.outcome != ContractImport::Outcome::Imported) {
        // The list stays; the rows before the reported one are stored.
        ShowInfo(ContractImport::message(result), this);
        return false;
    }
    m_count->setText(QStringLiteral(" 共计：") + QString::number(result.stored) + QStringLiteral("行"));
    import.logCompleted(result.stored);
    m_list->clear();
    ShowInfo(ContractImport::message(result), this);
    return true;
}

// ------------------------------------------------------------------ close

void ContractEntryWindow::closeEvent(QCloseEvent *event)
{
    // Not while rows are going in: the import ends first, with its message.
    if (m_importing) {
        event->ignore();
        return;
    }
    ChildWindow::closeEvent(event);
    if (m_closing || !event->isAccepted())
        return;
    m_closing = true;
    m_pending.clear();
    // The navigation window goes back to its query page.
    if (QWidget *navigation = Windows::find(WindowKey::Navigation))
        if (auto *query = navigation->findChild<QAbstractButton *>(QStringLiteral("按钮_数据查询")))
            query->click();
}

QWidget *CreateContractEntryWindow(QWidget *owner) { return new ContractEntryWindow(owner); }

} // namespace cg
