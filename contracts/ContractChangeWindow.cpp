#include "contracts/ContractChangeWindow.h"
#include "ui/Shell.h"
#include "contracts/ContractQueryWindow.h"
#include "contracts/ContractRecord.h"
#include "contracts/ContractSheet.h"
#include "data/Context.h"
#include "data/ListTargets.h"
#include "data/OperationLog.h"
#include "masterdata/BasicData.h"
#include "ui/ComboSelect.h"
#include "ui/Gates.h"
#include "ui/Seams.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace cg {

namespace {

QString dateText(const QDate &d) { return d.toString(QStringLiteral("yyyy-MM-dd")); }

// Shows a stored value: the item equal to it, else the first item that
// begins with it. A value no item offers is still shown as it is stored, so
// an untouched field saves what it loaded.
void showStored(QComboBox *combo, const QString &text)
{
    if (SelectByPrefix(combo, text))
        return;
    if (combo->isEditable()) {
        combo->setEditText(text);
    } else if (!text.isEmpty()) {
        combo->addItem(text);
        combo->setCurrentIndex(combo->count() - 1);
    }
}

// A list combo keeps its chosen value through a refill of its kind, even
// when the list no longer offers it.
void bindListCombo(QComboBox *combo, BasicData::Kind kind)
{
    QPointer<QComboBox> guard(combo);
    BasicData::bind(combo, kind, [guard](const QStringList &values) {
        if (!guard)
            return;
        const QString chosen = guard->currentIndex() < 0 ? QString() : guard->currentText();
        const bool blocked = guard->blockSignals(true);
        BasicData::fillCombo(guard, values);
        if (!chosen.isEmpty() && guard->currentText() != chosen) {
            guard->addItem(chosen);
            guard->setCurrentIndex(guard->count() - 1);
        }
        guard->blockSignals(blocked);
    });
}

// The unit column of the grid offers the unit list.
class UnitDelegate : public QStyledItemDelegate {
public:
    explicit UnitDelegate(QObject *parent) : QStyledItemDelegate(parent) {}
    QStringList units;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (index.column() != 2)
            return QStyledItemDelegate::createEditor(parent, option, index);
        auto *combo = new QComboBox(parent);
        combo->setObjectName(QStringLiteral("组合框_单位"));
        combo->setEditable(true);
        combo->addItems(units);
        return combo;
    }
    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        if (auto *combo = qobject_cast<QComboBox *>(editor))
            combo->setEditText(index.data().toString());
        else
            QStyledItemDelegate::setEditorData(editor, index);
    }
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        if (auto *combo = qobject_cast<QComboBox *>(editor))
            model->setData(index, combo->currentText());
        else
            QStyledItemDelegate::setModelData(editor, model, index);
    }
};

QComboBox *combo(const QString &name, bool editable, QWidget *parent)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(editable);
    c->setInsertPolicy(QComboBox::NoInsert);
    return c;
}

QLineEdit *edit(const QString &name, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

} // namespace

ContractChangeWindow::ContractChangeWindow(ChangeMode mode, qint64 id, ContractQueryWindow *query, QWidget *owner)
    : ChildWindow(mode == ChangeMode::Change ? QStringLiteral("合同变更") : QStringLiteral("合同修改"),
                  ContractChange::module(mode),
                  mode == ChangeMode::Change ? QStringLiteral("打开合同变更窗口") : QStringLiteral("打开合同修改窗口"),
                  QString(), owner),
      m_mode(mode), m_query(query)
{
    setObjectName(QStringLiteral("合同变更窗口"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_number = edit(QStringLiteral("编辑框_合同编号"), this);
    m_documentDate = edit(QStringLiteral("编辑框_制单日期"), this);
    m_requester = combo(QStringLiteral("组合框_申请人"), true, this);
    m_department = combo(QStringLiteral("组合框_申请部门"), true, this);
    m_effective = new QDateEdit(this);
    m_effective->setObjectName(QStringLiteral("日期框_生效日期"));
    m_expiry = new QDateEdit(this);
    m_expiry->setObjectName(QStringLiteral("日期框_失效日期"));
    for (QDateEdit *d : {m_effective, m_expiry}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    m_buyer = combo(QStringLiteral("组合框_采购员"), true, this);
    m_terms = combo(QStringLiteral("组合框_付款方式"), false, this);
    m_supplier = combo(QStringLiteral("组合框_供应商"), true, this);
    m_amount = edit(QStringLiteral("编辑框_合同总金额"), this);
    m_first = edit(QStringLiteral("编辑框_第一次付款"), this);
    m_second = edit(QStringLiteral("编辑框_第二次付款"), this);
    m_third = edit(QStringLiteral("编辑框_第三次付款"), this);
    m_fourth = edit(QStringLiteral("编辑框_第四次付款"), this);
    m_remaining = edit(QStringLiteral("编辑框_剩余尾款"), this);
    m_taxRate = combo(QStringLiteral("组合框_税率"), false, this);

    m_grid = new QTableWidget(0, 3, this);
    m_grid->setObjectName(QStringLiteral("高级表格_设备"));
    m_grid->setAccessibleName(QStringLiteral("设备"));
    m_grid->setHorizontalHeaderLabels({QStringLiteral("设备名称"), QStringLiteral("数量"), QStringLiteral("单位")});
    m_grid->setColumnWidth(0, 280);
    m_grid->setColumnWidth(1, 60);
    m_grid->setColumnWidth(2, 60);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 8);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::DoubleClicked);
    auto *units = new UnitDelegate(m_grid);
    m_grid->setItemDelegate(units);
    BasicData::bind(m_grid, BasicData::Kind::Unit, [units](const QStringList &values) { units->units = values; });

    m_attachment = NamedButton(QStringLiteral("按钮_修改"), QStringLiteral("附件"), this);
    m_ok = NamedButton(QStringLiteral("按钮_确定"), QStringLiteral("&S.确定"), this);
    m_close = NamedButton(QStringLiteral("按钮_关闭"), QStringLiteral("&C.关闭"), this);
    m_print = NamedButton(QStringLiteral("按钮_打印"), QStringLiteral("&P.打印合同…"), this);
    m_savePdf = NamedButton(QStringLiteral("按钮_保存PDF"), QStringLiteral("&E.保存为PDF…"), this);
    auto *required = new QLabel(QStringLiteral("有颜色的字段必须录入才能保存"), this);
    required->setObjectName(QStringLiteral("标签21"));
    auto *gridHint = new QLabel(QStringLiteral("1.双击单元格可编辑 2.点击右键可删除(直接删除) 3.单位可点击下拉菜单"), this);
    gridHint->setObjectName(QStringLiteral("标签8"));
    gridHint->setWordWrap(true);

    m_menu = new QMenu(QStringLiteral("菜单"), this);
    m_menu->setObjectName(QStringLiteral("菜单"));
    QAction *remove = m_menu->addAction(QStringLiteral("删 除"));
    remove->setObjectName(QStringLiteral("删 除"));

    // Two columns of labelled fields; labels of required fields in colour.
    auto *form = new QGridLayout;
    form->setHorizontalSpacing(6);
    form->setVerticalSpacing(5);
    struct Field {
        const char *label;
        const char *text;
        QWidget *field;
        bool required;
    };
    const QList<Field> left = {
        {"标签_合同编号", "合同编号：", m_number, true},       {"标签_制单日期", "制单日期：", m_documentDate, true},
        {"标签_申请人", "申 请 人：", m_requester, true},      {"标签_申请部门", "申请部门：", m_department, true},
        {"标签_生效日期", "生效日期：", m_effective, false},   {"标签_失效日期", "失效日期：", m_expiry, false},
        {"标签_采购员", "采 购 员：", m_buyer, true},          {"标签_付款方式", "付款方式：", m_terms, true},
    };
    const QList<Field> right = {
        {"标签_供应商", "供应商：", m_supplier, true},         {"标签_合同总金额", "合同总金额：", m_amount, true},
        {"标签_第一次付款", "第一次付款：", m_first, false},   {"标签_第二次付款", "第二次付款：", m_second, false},
        {"标签_第三次付款", "第三次付款：", m_third, false},   {"标签_第四次付款", "第四次付款：", m_fourth, false},
        {"标签_剩余尾款", "剩余尾款：", m_remaining, false},   {"标签_税率", "税 率：", m_taxRate, true},
    };
    auto place = [&](const QList<Field> &fields, int column) {
        for (int i = 0; i < fields.size(); ++i) {
            const Field &f = fields.at(i);
            QLabel *label = FieldLabel(QString::fromUtf8(f.label), QString::fromUtf8(f.text), f.field, this);
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (f.required) {
                QPalette p = label->palette();
                p.setColor(QPalette::WindowText, QColor(0, 0, 255));
                label->setPalette(p);
            }
            form->addWidget(label, i, column);
            form->addWidget(f.field, i, column + 1);
        }
    };
    place(left, 0);
    place(right, 2);
    form->setColumnStretch(1, 1);
    form->setColumnStretch(3, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_attachment);
    buttons->addWidget(required, 1);
    buttons->addWidget(m_print);
    buttons->addWidget(m_savePdf);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(form);
    layout->addWidget(m_grid, 1);
    layout->addWidget(gridHint);
    layout->addLayout(buttons);
    resize(461, 479);

    // Lists: basic data kinds and the supplier names.
    BasicData::bindCombo(m_requester, BasicData::Kind::Requester);
    BasicData::bindCombo(m_department, BasicData::Kind::Department);
    BasicData::bindCombo(m_buyer, BasicData::Kind::Buyer);
    bindListCombo(m_terms, BasicData::Kind::PaymentTerms);
    bindListCombo(m_taxRate, BasicData::Kind::TaxRate);
    {
        QPointer<QComboBox> guard(m_supplier);
        const ListTargets::Fill fill = [guard](const QStringList &names) {
            if (guard)
                BasicData::fillCombo(guard, names);
        };
        ListTargets::add(ListTargets::SupplierName, m_supplier, fill);
        QStringList names;
        Recordset rs(Ctx().db());
        if (rs.open(QStringLiteral("select 名称 from gysb")))
            for (; !rs.eof(); rs.moveNext())
                names << rs.text(0);
        fill(names);
    }

    load(id);
    m_loading = false;
    if (!m_loaded)
        return;

    // What the user touches is logged when the save succeeds.
    auto touchOnEdit = [this](QComboBox *c, ChangeField f) {
        connect(c, &QComboBox::activated, this, [this, f] { touch(f); });
        if (c->lineEdit())
            connect(c->lineEdit(), &QLineEdit::textEdited, this, [this, f] { touch(f); });
    };
    touchOnEdit(m_requester, ChangeField::Requester);
    touchOnEdit(m_department, ChangeField::Department);
    touchOnEdit(m_buyer, ChangeField::Buyer);
    touchOnEdit(m_terms, ChangeField::PaymentTerms);
    touchOnEdit(m_taxRate, ChangeField::TaxRate);
    connect(m_supplier->lineEdit(), &QLineEdit::textEdited, this, [this] { touch(ChangeField::Supplier); });
    connect(m_supplier, &QComboBox::activated, this, [this] { supplierChosen(); });
    for (const auto &[picker, field] : {std::pair{m_effective, ChangeField::EffectiveDate},
                                        std::pair{m_expiry, ChangeField::ExpiryDate}}) {
        QDateEdit *p = picker;
        const ChangeField f = field;
        connect(p, &QDateEdit::dateChanged, this, [this, p, f] {
            if (m_loading)
                return;
            StoredDate &d = m_dates[p];
            d.picked = true;
            if (!d.valid) {
                // A date is set now: it shows and saves as any other.
                p->setSpecialValueText(QString());
                p->setToolTip(QString());
                p->setPalette(palette());
            }
            touch(f);
        });
    }
    const QList<QPair<QLineEdit *, ChangeField>> amounts = {
        {m_amount, ChangeField::Amount}, {m_first, ChangeField::First},         {m_second, ChangeField::Second},
        {m_third, ChangeField::Third},   {m_fourth, ChangeField::Fourth},       {m_remaining, ChangeField::Remaining}};
    for (const auto &a : amounts) {
        a.first->installEventFilter(this);
        const ChangeField f = a.second;
        connect(a.first, &QLineEdit::textEdited, this, [this, f] { touch(f); });
        if (a.first != m_remaining)
            connect(a.first, &QLineEdit::textChanged, this, [this] { recomputeBalance(); });
    }
    connect(m_grid, &QTableWidget::itemChanged, this, [this] {
        if (m_loading)
            return;
        touch(ChangeField::Product);
        touch(ChangeField::Quantity);
        touch(ChangeField::Unit);
    });
    m_supplier->installEventFilter(this);
    m_grid->installEventFilter(this);
    m_grid->viewport()->installEventFilter(this);
    connect(remove, &QAction::triggered, this, [this] { deleteCurrentLine(); });
    connect(m_attachment, &QPushButton::clicked, this, [this] { editAttachment(); });
    connect(m_ok, &QPushButton::clicked, this, [this] { save(); });
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_print, &QPushButton::clicked, this, [this] { printContract(); });
    connect(m_savePdf, &QPushButton::clicked, this, [this] { saveContractPdf(); });

    if (m_mode == ChangeMode::Change) {
        for (QWidget *w : std::initializer_list<QWidget *>{m_number, m_documentDate, m_requester, m_department,
                                                           m_effective, m_expiry, m_buyer, m_terms, m_supplier,
                                                           m_amount, m_taxRate, m_attachment, m_grid})
            w->setEnabled(false);
    }
    Gates::applyTo(this, Gates::kContractChange);
    logOpened();
}

void ContractChangeWindow::load(qint64 id)
{
    const LoginContext &lc = Ctx().login;
    ContractChange change(Ctx().db(), lc.contractTable, lc.accountSetName, lc.userName);
    if (change.load(id, m_contract) != ContractChange::Outcome::Done)
        return;
    const ContractHeader &h = m_contract.header;
    m_number->setText(h.number);
    m_documentDate->setText(h.documentDate);
    showStoredDate(m_effective, h.effectiveDate);
    showStoredDate(m_expiry, h.expiryDate);
    m_amount->setText(h.amount);
    m_first->setText(h.first);
    m_second->setText(h.second);
    m_third->setText(h.third);
    m_fourth->setText(h.fourth);
    m_remaining->setText(h.remaining);
    showStored(m_requester, h.requester);
    showStored(m_department, h.department);
    showStored(m_buyer, h.buyer);
    showStored(m_supplier, h.supplier);
    showStored(m_terms, h.paymentTerms);
    showStored(m_taxRate, h.taxRate);
    m_grid->setRowCount(m_contract.lines.size());
    for (int k = 0; k < m_contract.lines.size(); ++k) {
        const LineValues &v = m_contract.lines.at(k).values;
        m_grid->setItem(k, 0, new QTableWidgetItem(v.product));
        m_grid->setItem(k, 1, new QTableWidgetItem(v.quantity));
        m_grid->setItem(k, 2, new QTableWidgetItem(v.unit));
    }
    // What the window shows now is what the log calls the value before.
    m_contract.header = currentHeader();
    m_contract.header.number = h.number;
    m_touched.clear();
    m_loaded = true;
}

void ContractChangeWindow::showStoredDate(QDateEdit *picker, const QString &stored)
{
    StoredDate &d = m_dates[picker];
    d.text = stored;
    const QDate date = QDate::fromString(stored, QStringLiteral("yyyy-MM-dd"));
    d.valid = date.isValid();
    if (d.valid) {
        picker->setDate(date);
        return;
    }
    // No date can be shown for it: the picker stands at its lowest date,
    // which reads as the stored text, marked invalid; its calendar opens on
    // today.
    picker->setSpecialValueText(QStringLiteral("无效日期：") + stored);
    picker->setDate(picker->minimumDate());
    picker->setToolTip(QStringLiteral("保存的日期“") + stored + QStringLiteral("”不是有效日期，选择日期后才会修改"));
    QPalette p = picker->palette();
    p.setColor(QPalette::Text, QColor(255, 0, 0));
    picker->setPalette(p);
    if (QCalendarWidget *calendar = picker->calendarWidget())
        calendar->installEventFilter(this);
}

QString ContractChangeWindow::dateOf(QDateEdit *picker) const
{
    const auto it = m_dates.constFind(picker);
    if (it == m_dates.constEnd() || it->picked)
        return dateText(picker->date());
    // Not picked: the date stays exactly as stored.
    return it->text;
}

void ContractChangeWindow::touch(ChangeField field)
{
    if (!m_loading)
        m_touched.insert(field);
}

void ContractChangeWindow::recomputeBalance()
{
    if (m_loading)
        return;
    const QString balance = RemainingBalance(m_amount->text(), m_first->text(), m_second->text(), m_third->text(),
                                      m_fourth->text());
    // Only the user touches a field: a balance recomputed from the
    // instalments is saved, but logged only when the user touched it too.
    if (balance != m_remaining->text())
        m_remaining->setText(balance);
}

void ContractChangeWindow::supplierChosen()
{
    touch(ChangeField::Supplier);
    const QString name = m_supplier->currentText();
    for (const auto &[column, target] : {std::pair{QStringLiteral("税率"), m_taxRate},
                                         std::pair{QStringLiteral("付款方式"), m_terms}}) {
        Recordset rs(Ctx().db());
        if (rs.open(QStringLiteral("select  ") + column + QStringLiteral(" from gysb where 名称=?"), {name})
            && !rs.eof())
            SelectByPrefix(target, rs.text(0));   // an empty value selects nothing
    }
    touch(ChangeField::TaxRate);
    touch(ChangeField::PaymentTerms);
}

void ContractChangeWindow::supplierLookup()
{
    const QString typed = m_supplier->currentText();
    Recordset rs(Ctx().db());
    QString found;
    if (rs.open(QStringLiteral("select 名称 from gysb where 名称 LIKE ?"), {QLatin1Char('%') + typed + QLatin1Char('%')})
        && !rs.eof())
        found = rs.text(0);
    // Nothing found, or nothing that begins with it: nothing is selected.
    if (!SelectByPrefix(m_supplier, found)) {
        m_supplier->setCurrentIndex(-1);
        m_supplier->setEditText(QString());
    }
    touch(ChangeField::Supplier);
}

ContractHeader ContractChangeWindow::currentHeader() const
{
    ContractHeader h;
    h.number = m_number->text();
    h.documentDate = m_documentDate->text();
    h.requester = m_requester->currentText();
    h.department = m_department->currentText();
    h.buyer = m_buyer->currentText();
    h.supplier = m_supplier->currentText();
    h.effectiveDate = dateOf(m_effective);
    h.expiryDate = dateOf(m_expiry);
    h.amount = m_amount->text();
    h.paymentTerms = m_terms->currentIndex() < 0 ? QString() : m_terms->currentText();
    h.first = m_first->text();
    h.second = m_second->text();
    h.third = m_third->text();
    h.fourth = m_fourth->text();
    h.remaining = m_remaining->text();
    h.taxRate = m_taxRate->currentIndex() < 0 ? QString() : m_taxRate->currentText();
    return h;
}

QVector<LineValues> ContractChangeWindow::currentLines() const
{
    QVector<LineValues> out;
    auto text = [this](int r, int c) {
        const QTableWidgetItem *item = m_grid->item(r, c);
        return item ? item->text() : QString();
    };
    for (int r = 0; r < m_grid->rowCount(); ++r)
        out << LineValues{text(r, 0), text(r, 1), text(r, 2)};
    return out;
}

bool ContractChangeWindow::checkRequired()
{
    const ContractHeader h = currentHeader();
    const QVector<LineValues> lines = currentLines();
    const LineValues first = lines.value(0);
    const QList<QPair<QString, QString>> checks = {
        {h.number, QStringLiteral("合同编号不能为空！")},     {h.supplier, QStringLiteral("供应商不能为空！")},
        {h.documentDate, QStringLiteral("制单日期不能为空！")}, {first.product, QStringLiteral("购买产品不能为空！")},
        {h.requester, QStringLiteral("申请人不能为空！")},     {first.unit, QStringLiteral("计量单位不能为空！")},
        {h.department, QStringLiteral("申请部门不能为空！")},  {first.quantity, QStringLiteral("设备数量不能为空！")},
        {h.buyer, QStringLiteral("采购员不能为空！")},         {h.amount, QStringLiteral("合同总金额不能为空！")},
        {h.paymentTerms, QStringLiteral("付款方式不能为空！")}, {h.taxRate, QStringLiteral("税率不能为空！")},
    };
    for (const auto &c : checks) {
        if (c.first.isEmpty()) {
            ShowMessage(c.second, QString(), MsgIcon::Information, this);
            return false;
        }
    }
    return true;
}

void ContractChangeWindow::save()
{
    if (!m_loaded || !checkRequired())
        return;
    const LoginContext &lc = Ctx().login;
    ContractChange change(Ctx().db(), lc.contractTable, lc.accountSetName, lc.userName);
    const ContractHeader current = currentHeader();
    const QVector<LineValues> lines = currentLines();
    // The log rows are written with the change, in one unit.
    if (change.save(m_mode, m_contract, current, lines, m_pending, m_touched) != ContractChange::Outcome::Done) {
        ShowMessage(QStringLiteral("保存失败"), QString(), MsgIcon::Error, this);
        return;
    }
    if (m_query) {
        SavedContract saved;
        saved.mode = m_mode;
        saved.lineIds = m_contract.lineIds();
        saved.header = m_mode == ChangeMode::Modify ? current : m_contract.header;
        if (m_mode == ChangeMode::Change) {
            saved.header.first = current.first;
            saved.header.second = current.second;
            saved.header.third = current.third;
            saved.header.fourth = current.fourth;
            saved.header.remaining = current.remaining;
        }
        saved.lines = lines;
        saved.hasAttachment = change.hasAttachment(saved.header.number);
        m_query->contractSaved(saved);
    }
    m_touched.clear();
    ShowMessage(QStringLiteral("保存成功"), QString(), MsgIcon::Information, this);
    closeQuietly();
}

bool ContractChangeWindow::hasUnsavedChanges() const
{
    // A window that has gone (saved, deleted a line, closed) holds nothing.
    if (!m_loaded || m_quiet || isHidden())
        return false;
    if (m_mode == ChangeMode::Modify && (m_pending.changed() || m_pending.deleted()))
        return true;
    if (currentHeader() != m_contract.header)
        return true;
    const QVector<LineValues> lines = currentLines();
    if (lines.size() != m_contract.lines.size())
        return true;
    for (int k = 0; k < lines.size(); ++k)
        if (!(lines.at(k) == m_contract.lines.at(k).values))
            return true;
    return false;
}

bool ContractChangeWindow::confirmDiscard()
{
    if (!hasUnsavedChanges())
        return true;
    raise();
    activateWindow();
    const QString name = m_mode == ChangeMode::Change ? QStringLiteral("合同变更") : QStringLiteral("合同修改");
    return AskYesNo(name + QStringLiteral("窗口中的修改还没有保存，是否放弃这些修改？"), this);
}

void ContractChangeWindow::editAttachment()
{
    if (!m_loaded || m_mode != ChangeMode::Modify)
        return;
    const LoginContext &lc = Ctx().login;
    // The contract loaded, whatever number has been typed since.
    const QString &number = m_contract.header.number;
    const bool stored =
        ContractChange(Ctx().db(), lc.contractTable, lc.accountSetName, lc.userName).hasAttachment(number);
    if (const AttachmentEditor editor = attachmentEditor()) {
        editor(this, number, stored, m_pending);
        return;
    }
    // Without the attachment window: pick a replacement file.
    const QString path = FileDialogs::openFile(this, QString(), QStringLiteral("PDF文件 (*.pdf)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).size() > kMaxAttachmentBytes) {
        ShowMessage(QStringLiteral("添加的PDF文件不能超过5MB，请将文件转换后再试！"), QString(), MsgIcon::Error, this);
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    m_pending.set(file.readAll());
}

void ContractChangeWindow::deleteCurrentLine()
{
    const int k = m_grid->currentRow();
    if (!m_loaded || m_mode != ChangeMode::Modify || k < 0 || k >= m_contract.lines.size())
        return;
    const LoadedLine line = m_contract.lines.at(k);
    const QString product = line.values.product;
    if (!AskYesNo(QStringLiteral("是否要直接删除：") + product + QStringLiteral("，删除后无法恢复！"), this))
        return;
    const LoginContext &lc = Ctx().login;
    ContractChange change(Ctx().db(), lc.contractTable, lc.accountSetName, lc.userName);
    if (change.deleteLine(m_contract, k) != ContractChange::Outcome::Done) {
        ShowMessage(QStringLiteral("删除：") + product + QStringLiteral(" 失败！"), QString(), MsgIcon::Error, this);
        return;
    }
    if (m_query)
        m_query->lineDeleted(line.id);
    m_loading = true;
    m_grid->removeRow(k);
    m_contract.lines.remove(k);
    m_loading = false;
    ShowMessage(QStringLiteral("成功删除：") + product, QString(), MsgIcon::Information, this);
    closeQuietly();
}

void ContractChangeWindow::printContract()
{
    // The stored contract is printed, not edits that are not saved yet.
    if (m_contract.lines.isEmpty() || !Gates::isOpen(Gates::kContractChange, m_print->objectName()))
        return;
    PrintContract(this, m_contract.lines.first().id, module());
}

void ContractChangeWindow::saveContractPdf()
{
    if (m_contract.lines.isEmpty() || !Gates::isOpen(Gates::kContractChange, m_savePdf->objectName()))
        return;
    SaveContractPdf(this, m_contract.lines.first().id, module());
}

void ContractChangeWindow::closeQuietly()
{
    m_quiet = true;
    close();
}

void ContractChangeWindow::closeEvent(QCloseEvent *event)
{
    if (!m_quiet && m_loaded)
        WriteLogEntry(QStringLiteral("结束"),
                      m_mode == ChangeMode::Change ? QStringLiteral("关闭合同变更窗口") : QStringLiteral("关闭合同修改窗口"),
                      ContractChange::module(m_mode));
    m_quiet = true;   // once only
    ChildWindow::closeEvent(event);
}

bool ContractChangeWindow::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Show) {
        // The calendar of a picker that shows an invalid stored date.
        for (QDateEdit *picker : {m_effective, m_expiry})
            if (watched == picker->calendarWidget() && picker->date() == picker->minimumDate()) {
                const QDate today = Clock::now().date();
                picker->calendarWidget()->setCurrentPage(today.year(), today.month());
            }
    }
    if (type == QEvent::MouseButtonPress && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        const QList<QPair<QObject *, ChangeField>> amounts = {
            {m_amount, ChangeField::Amount}, {m_first, ChangeField::First},   {m_second, ChangeField::Second},
            {m_third, ChangeField::Third},   {m_fourth, ChangeField::Fourth}, {m_remaining, ChangeField::Remaining}};
        for (const auto &a : amounts)
            if (watched == a.first && static_cast<QWidget *>(watched)->isEnabled())
                touch(a.second);
    }
    const bool mouseEvent = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease;
    if (mouseEvent && watched == m_grid->viewport() && m_grid->isEnabled()) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (type == QEvent::MouseButtonPress && mouse->button() == Qt::RightButton) {
            // A right click makes the cell under the pointer current first.
            const QModelIndex index = m_grid->indexAt(mouse->position().toPoint());
            if (index.isValid())
                m_grid->setCurrentIndex(index);
            return true;
        }
        if (type == QEvent::MouseButtonRelease && mouse->button() == Qt::RightButton) {
            if (m_grid->currentRow() >= 0)
                m_menu->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    if (type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (enter && watched == m_grid && m_grid->isEnabled()) {
            // Enter that ends a cell edit reaches the grid from the editor:
            // it only ends the edit.
            QWidget *focus = QApplication::focusWidget();
            const bool fromEditor = focus && focus != m_grid && m_grid->isAncestorOf(focus);
            if (fromEditor || m_grid->indexWidget(m_grid->currentIndex()))
                return ChildWindow::eventFilter(watched, event);
            deleteCurrentLine();
            return true;
        }
        if (enter && watched == m_supplier && m_supplier->isEnabled()) {
            supplierLookup();
            return true;
        }
    }
    return ChildWindow::eventFilter(watched, event);
}

} // namespace cg
