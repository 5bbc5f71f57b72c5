#include "suppliers/SupplierEntryWindow.h"

#include "ui/Shell.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "suppliers/SupplierInputs.h"
#include "suppliers/SupplierNames.h"
#include "suppliers/SupplierTemplate.h"
#include "suppliers/Suppliers.h"
#include "ui/Seams.h"
#include "ui/SpreadsheetImport.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace cg {

namespace {

const QString kModule = QStringLiteral("供应商添加");
const QString kFilter = QStringLiteral("Excel文件 (*.xlsx)");

void log(const QString &description) { WriteLogEntry(QStringLiteral("操作"), description, kModule); }

} // namespace

SupplierEntryWindow::SupplierEntryWindow(QWidget *owner)
    : ChildWindow(QStringLiteral("供应商资料"), kModule, QStringLiteral("打开供应商添加窗口"),
                  QStringLiteral("关闭供应商添加窗口"), owner),
      m_inputs(this)
{
    setObjectName(QStringLiteral("供应商资料"));

    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("标签_提示"));
    SetHint(m_hint, QStringLiteral(" 每个输入框必须输入，否则不予保存"), true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("超级列表框_供应商添加"));
    m_list->setAccessibleName(QStringLiteral("供应商添加"));
    m_list->setColumnCount(8);
    m_list->setHeaderLabels({QStringLiteral("单据状态"), QStringLiteral("名称"), QStringLiteral("电话"),
                             QStringLiteral("联系人"), QStringLiteral("地址"), QStringLiteral("税  率"),
                             QStringLiteral("付款方式"), QString()});
    const int widths[] = {70, 200, 100, 80, 200, 100, 150, 20};
    for (int c = 0; c < 8; ++c)
        m_list->setColumnWidth(c, widths[c]);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setDefaultAlignment(Qt::AlignCenter);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);

    m_count = new QLabel(QStringLiteral(" 共计：0条"), this);
    m_count->setObjectName(QStringLiteral("标签_统计"));
    m_count->setMinimumWidth(150);
    auto *fixedHint = new QLabel(QStringLiteral("点击导入按钮后添加数据到表格内，确认无误后点击保存按钮。"), this);
    fixedHint->setObjectName(QStringLiteral("标签21"));

    QPushButton *templ = NamedButton(QStringLiteral("按钮_模板下载"), QStringLiteral("&M.模板下载"), this);
    QPushButton *import = NamedButton(QStringLiteral("按钮_导入"), QStringLiteral("&D.导入"), this);
    QPushButton *clear = NamedButton(QStringLiteral("按钮_清空"), QStringLiteral("&Q.清空"), this);
    QPushButton *saveButton = NamedButton(QStringLiteral("按钮_保存"), QStringLiteral("&S.保存"), this);
    QPushButton *closeButton = NamedButton(QStringLiteral("按钮_关闭"), QStringLiteral("&C.关闭"), this);

    auto *status = new QHBoxLayout;
    status->addWidget(m_count);
    status->addWidget(fixedHint, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(templ);
    buttons->addWidget(import);
    buttons->addWidget(clear);
    buttons->addStretch(1);
    buttons->addWidget(saveButton);
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(m_inputs.layout());
    layout->addWidget(m_hint);
    layout->addWidget(m_list, 1);
    layout->addLayout(status);
    layout->addLayout(buttons);
    resize(944, 560);

    connect(templ, &QPushButton::clicked, this, [this] { downloadTemplate(); });
    connect(import, &QPushButton::clicked, this, [this] { importWorkbook(); });
    connect(clear, &QPushButton::clicked, this, [this] { clearList(); });
    connect(saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    m_inputs.name->setFocus();
    logOpened();
}

void SupplierEntryWindow::downloadTemplate()
{
    QString path = FileDialogs::saveFile(this, QStringLiteral("另存为"), kFilter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".xlsx");
    if (SupplierTemplate::write(path))
        ShowMessage(QStringLiteral("下载成功！"), QString(), MsgIcon::Information, this);
    else
        ShowMessage(QStringLiteral("下载失败，请检查是否有文件写入权限！"), QString(), MsgIcon::Error, this);
}

void SupplierEntryWindow::importWorkbook()
{
    if (m_busy)
        return;
    m_busy = true;
    // The eighth title only makes the reader take sheet column H as well.
    const bool loaded = ImportIntoList(this, m_list,
                                       {QStringLiteral("单据状态"), QStringLiteral("名称"), QStringLiteral("电话"),
                                        QStringLiteral("联系人"), QStringLiteral("地址"), QStringLiteral("税率"),
                                        QStringLiteral("付款方式"), QStringLiteral("标识")});
    if (loaded) {
        m_importMode = true;
        ShowMessage(QStringLiteral("加载成功，请检查已加载的数据无误后点击[保存]按钮导入到系统"), QString(),
                    MsgIcon::Information, this);
        log(QStringLiteral("批量添加供应商数据到待导入表格"));
    } else {
        log(QStringLiteral("批量添加供应商数据到待导入表格失败"));
        m_importMode = false;
    }
    m_busy = false;
    if (m_closeWhenDone)
        close();
}

void SupplierEntryWindow::clearList() { m_list->clear(); }

void SupplierEntryWindow::save()
{
    if (m_busy)
        return;
    m_busy = true;
    if (m_importMode)
        saveBatch();
    else
        saveOne();
    m_busy = false;
    if (m_closeWhenDone)
        close();
}

void SupplierEntryWindow::saveBatch()
{
    QList<SupplierRow> rows;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = m_list->topLevelItem(i);
        QStringList cells;
        for (int c = 0; c < 7; ++c)
            cells << item->text(c);
        rows << SupplierRow::fromCells(cells);
    }
    const Suppliers::BatchResult r = Suppliers(Ctx().db(), Ctx().login.userName).addBatch(rows);
    if (r.stored > 0)
        SupplierNames::refresh();
    const QString row = QString::number(r.stopRow);
    switch (r.stop) {
    case Suppliers::Outcome::Done:
        m_count->setText(QStringLiteral(" 共计：") + QString::number(r.stored) + QStringLiteral("行"));
        m_list->clear();
        ShowMessage(QStringLiteral("所有数据导入成功，共导入 ") + QString::number(r.stored) + QStringLiteral(" 行！"),
                    QString(), MsgIcon::Information, this);
        m_importMode = false;
        break;
    case Suppliers::Outcome::Exists:
        ShowMessage(QStringLiteral("发现") + r.stopName + QStringLiteral(" 供应商已存在，第 ") + row
                        + QStringLiteral(" 行后没有导入成功，或者点击[清空]按钮取消导入操作！"),
                    QString(), MsgIcon::Information, this);
        break;
    case Suppliers::Outcome::NotFound:
    case Suppliers::Outcome::Several:
    case Suppliers::Outcome::Failed:
        ShowMessage(QStringLiteral("第 ") + row + QStringLiteral(" 行后没有导入成功，请检查导入的数据后重试！"), QString(),
                    MsgIcon::Information, this);
        break;
    }
}

void SupplierEntryWindow::saveOne()
{
    const SupplierRow typed = m_inputs.values();
    if (const Suppliers::Field empty = Suppliers::firstEmpty(typed); empty != Suppliers::Field::None) {
        ShowMessage(EmptyFieldMessage(empty), QString(), MsgIcon::Error, this);
        return;
    }
    switch (Suppliers(Ctx().db(), Ctx().login.userName).add(typed)) {
    case Suppliers::Outcome::Done: {
        SetHint(m_hint, QStringLiteral(" 保存成功！"), true);
        SupplierRow stored = typed;
        stored.state = kSupplierAudited;
        m_list->addTopLevelItem(new QTreeWidgetItem(stored.cells()));
        m_count->setText(QStringLiteral("共：") + QString::number(m_list->topLevelItemCount())
                         + QStringLiteral(" 条记录"));
        m_inputs.clear();
        SupplierNames::refresh();
        break;
    }
    case Suppliers::Outcome::Exists:
        ShowMessage(QStringLiteral("供应商名称重复，不能保存！"), QString(), MsgIcon::Error, this);
        break;
    case Suppliers::Outcome::NotFound:
    case Suppliers::Outcome::Several:
    case Suppliers::Outcome::Failed:
        SetHint(m_hint, QStringLiteral(" 保存失败！"), false);
        ShowMessage(QStringLiteral("保存失败！"), QString(), MsgIcon::Error, this);
        break;
    }
}

void SupplierEntryWindow::closeEvent(QCloseEvent *event)
{
    if (m_busy) {
        // The running save or import finishes first; the window closes after it.
        m_closeWhenDone = true;
        event->ignore();
        return;
    }
    ChildWindow::closeEvent(event);
}

QWidget *CreateSupplierEntryWindow(QWidget *owner) { return new SupplierEntryWindow(owner); }

} // namespace cg
