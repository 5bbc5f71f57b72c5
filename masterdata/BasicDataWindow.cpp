#include "masterdata/BasicDataWindow.h"

#include "ui/Keys.h"
#include "ui/Seams.h"
#include "data/Context.h"
#include "data/OperationLog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace cg {

using namespace BasicData;

BasicDataWindow::BasicDataWindow(QWidget *owner)
    : ChildWindow(QStringLiteral("基础资料"), kModule, QStringLiteral("打开基础资料窗口"),
                  QStringLiteral("关闭基础资料窗口"), owner)
{
    setObjectName(QStringLiteral("基础资料"));

    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("组合框_项目"));
    m_kind->addItems(itemTexts());
    m_kind->setCurrentIndex(0);
    QLabel *caption = FieldLabel(QStringLiteral("标签3"), QStringLiteral("选择项目："), m_kind, this);

    m_value = new QLineEdit(this);
    m_value->setObjectName(QStringLiteral("编辑框_数据"));
    m_value->setAccessibleName(QStringLiteral("数据"));

    m_add = new QPushButton(QStringLiteral("&S.添加"), this);
    m_add->setObjectName(QStringLiteral("按钮_添加"));

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("超级列表框_基础资料"));
    m_list->setColumnCount(1);
    m_list->setHeaderLabels({QStringLiteral("内                        容")});
    m_list->header()->setStretchLastSection(false);
    m_list->setColumnWidth(0, 345);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->header()->setDefaultAlignment(Qt::AlignCenter);

    m_hint = new QLabel(QStringLiteral(" 提示：点击鼠标右键可删除操作"), this);
    m_hint->setObjectName(QStringLiteral("标签_提示"));
    m_count = new QLabel(QStringLiteral("共计："), this);
    m_count->setObjectName(QStringLiteral("标签_统计"));

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("菜单"));
    QAction *del = m_menu->addAction(QStringLiteral("&D.删 除"));
    del->setObjectName(QStringLiteral("菜单_删除"));

    auto *top = new QHBoxLayout;
    top->addWidget(caption);
    top->addWidget(m_kind, 1);
    auto *input = new QHBoxLayout;
    input->addWidget(m_value, 1);
    input->addWidget(m_add);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_hint, 1);
    bottom->addWidget(m_count);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(input);
    layout->addWidget(m_list, 1);
    layout->addLayout(bottom);
    resize(370, 460);

    // Each refresh reaches this list; it takes only the kind it shows, so the
    // rows always belong to the column a delete acts on.
    for (const KindInfo &k : kinds()) {
        const Kind kind = k.kind;
        ListTargets::add(k.list, this, [this, kind](const QStringList &values) {
            const KindInfo *shown = shownKind();
            if (shown && shown->kind == kind)
                fillList(values);
        });
    }

    connect(m_kind, &QComboBox::currentIndexChanged, this, [this] { selectKind(); });
    connect(m_add, &QPushButton::clicked, this, [this] { addValue(); });
    OnEnter(m_value, [this] { addValue(); });
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) { showMenu(pos); });
    connect(del, &QAction::triggered, this, [this] { deleteSelected(); });

    refresh(Kind::Department);
    updateCount();
    logOpened();
}

const KindInfo *BasicDataWindow::shownKind() const { return kindByItem(m_kind->currentText()); }

void BasicDataWindow::fillList(const QStringList &values)
{
    m_list->clear();
    for (const QString &v : values) {
        // Rows of the other kinds show up as the empty text; they are no value.
        if (!v.isEmpty())
            m_list->addTopLevelItem(new QTreeWidgetItem(QStringList{v}));
    }
    updateCount();
}

void BasicDataWindow::updateCount()
{
    m_count->setText(QStringLiteral(" 共计：") + QString::number(m_list->topLevelItemCount())
                     + QStringLiteral("行"));
}

void BasicDataWindow::selectKind()
{
    const KindInfo *k = shownKind();
    if (!k)
        return;
    refresh(k->kind);
    WriteLogEntry(QStringLiteral("操作"), QStringLiteral("选择 ") + k->item, kModule);
    updateCount();
}

void BasicDataWindow::addValue()
{
    const QString value = m_value->text();
    if (value.isEmpty())
        return;
    if (const KindInfo *k = shownKind()) {
        switch (add(Ctx().db(), k->kind, value)) {
        case AddResult::Exists:
            ShowInfo(QStringLiteral("数据已经存在了，无需重复添加！"), this);
            break;
        case AddResult::Added:
            refresh(k->kind);
            WriteLogEntry(QStringLiteral("操作"),
                          QStringLiteral("成功添加") + k->item + QStringLiteral("，添加的内容：") + value, kModule);
            SetHint(m_hint, QStringLiteral("添加成功！"), true);
            updateCount();
            break;
        case AddResult::Empty:
            break;
        case AddResult::Failed:
            SetHint(m_hint, QStringLiteral("添加失败！"), false);
            ShowError(QStringLiteral("添加失败！"), this);
            break;
        }
    }
    m_value->clear();
}

void BasicDataWindow::showMenu(const QPoint &pos)
{
    if (m_list->selectedItems().isEmpty())
        return;
    m_menu->popup(m_list->viewport()->mapToGlobal(pos));
}

void BasicDataWindow::deleteSelected()
{
    const QList<QTreeWidgetItem *> selected = m_list->selectedItems();
    const KindInfo *k = shownKind();
    if (selected.isEmpty() || !k)
        return;
    QTreeWidgetItem *row = selected.first();
    const QString value = row->text(0);
    if (remove(Ctx().db(), k->kind, value)) {
        WriteLogEntry(QStringLiteral("操作"), QStringLiteral("成功删除：") + value, kModule);
        SetHint(m_hint, QStringLiteral("删除成功！"), true);
        delete row;
        updateCount();
        // The combo boxes of the other open windows stop offering the value.
        refresh(k->kind);
    } else {
        SetHint(m_hint, QStringLiteral("删除失败！"), false);
        ShowError(QStringLiteral("删除失败！"), this);
    }
}

QWidget *CreateBasicDataWindow(QWidget *owner) { return new BasicDataWindow(owner); }

} // namespace cg
