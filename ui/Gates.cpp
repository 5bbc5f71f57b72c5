#include "ui/Gates.h"
#include "data/Permissions.h"
#include "ui/Shell.h"

#include <QAction>
#include <QHash>
#include <QPointer>
#include <QWidget>

namespace cg {

namespace Gates {

namespace {
struct State {
    int enabled = -1;   // -1 unset
    int visible = -1;
};
QHash<QString, QHash<QString, State>> g_gates;

void applyState(QWidget *window, const QString &control, const State &st)
{
    bool found = false;
    for (QWidget *w : window->findChildren<QWidget *>(control)) {
        if (st.enabled >= 0)
            w->setEnabled(st.enabled);
        if (st.visible >= 0)
            w->setVisible(st.visible);
        found = true;
    }
    if (found)
        return;
    for (QAction *a : window->findChildren<QAction *>()) {
        if (a->objectName() == control) {
            if (st.enabled >= 0)
                a->setEnabled(st.enabled);
            if (st.visible >= 0)
                a->setVisible(st.visible);
        }
    }
}
} // namespace

void setEnabled(const QString &windowKey, const QString &control, bool enabled)
{
    g_gates[windowKey][control].enabled = enabled ? 1 : 0;
}

void setVisible(const QString &windowKey, const QString &control, bool visible)
{
    g_gates[windowKey][control].visible = visible ? 1 : 0;
}

void clear() { g_gates.clear(); }

bool isOpen(const QString &windowKey, const QString &control)
{
    const auto w = g_gates.constFind(windowKey);
    if (w == g_gates.constEnd())
        return true;
    const auto c = w->constFind(control);
    return c == w->constEnd() || (c->enabled != 0 && c->visible != 0);
}

void applyTo(QWidget *window, const QString &windowKey)
{
    if (!window)
        return;
    const auto it = g_gates.constFind(windowKey);
    if (it == g_gates.constEnd())
        return;
    for (auto c = it->constBegin(); c != it->constEnd(); ++c)
        applyState(window, c.key(), c.value());
}

} // namespace Gates

void ApplyPermissions()
{
    using namespace Gates;
    const QString main = kMain, nav = kNavigation;
    const QString cq = kContractQuery, sq = kSupplierQuery;
    setVisible(main, QStringLiteral("&T.帐套管理"), false);
    setVisible(nav, QStringLiteral("按钮_帐套管理"), false);
    setVisible(main, QStringLiteral("&B.数据备份…"), false);

    auto both = [&](const QString &flag, const QString &contractItem, const QString &supplierItem) {
        const bool g = HasPermission(flag);
        setEnabled(cq, contractItem, g);
        setEnabled(sq, supplierItem, g);
    };
    both(QStringLiteral("审核"), QStringLiteral("&H.审 核"), QStringLiteral("&H.审 核"));
    both(QStringLiteral("反审"), QStringLiteral("&F.反 审"), QStringLiteral("&F.反 审"));
    both(QStringLiteral("变更"), QStringLiteral("&B.变 更"), QStringLiteral("&B.变 更"));
    both(QStringLiteral("修改"), QStringLiteral("&X.修 改"), QStringLiteral("&X.修 改"));
    both(QStringLiteral("删除"), QStringLiteral("&D.删除整份合同"), QStringLiteral("&D.删 除"));
    both(QStringLiteral("导出"), QStringLiteral("按钮_导出"), QStringLiteral("按钮_导出"));
    setEnabled(WindowKey::NumberGaps, QStringLiteral("按钮_导出"), HasPermission(QStringLiteral("导出")));
    setEnabled(WindowKey::SpendOverview, QStringLiteral("按钮_导出"), HasPermission(QStringLiteral("导出")));
    {
        const bool g = HasPermission(QStringLiteral("导入"));
        setEnabled(kContractEntry, QStringLiteral("按钮_导入"), g);
        setEnabled(kSupplierEntry, QStringLiteral("按钮_导入"), g);
    }
    {
        const bool g = HasPermission(QStringLiteral("供应商录入"));
        setEnabled(nav, QStringLiteral("按钮_供应商"), g);
        setEnabled(main, QStringLiteral("&C.供应商录入"), g);
    }
    {
        const bool g = HasPermission(QStringLiteral("合同录入"));
        setEnabled(main, QStringLiteral("&T.合同录入"), g);
        setEnabled(nav, QStringLiteral("按钮_合同录入"), g);
    }
    {
        const bool g = HasPermission(QStringLiteral("基础资料新增"));
        setEnabled(nav, QStringLiteral("按钮_基础资料"), g);
        setEnabled(nav, QStringLiteral("按钮1_基础资料"), g);
        setEnabled(main, QStringLiteral("&G.基础资料录入"), g);
    }
    {
        const bool g = HasPermission(QStringLiteral("日志"));
        setEnabled(main, QStringLiteral("&R.系统日志"), g);
        setEnabled(kSystemConfig, QStringLiteral("组合框_日志数"), g);
    }
    {
        // Printing and saving as PDF, wherever a contract or the list is printed.
        const bool g = HasPermission(QStringLiteral("打印"));
        setEnabled(cq, QStringLiteral("&P.打印合同…"), g);
        setEnabled(cq, QStringLiteral("&E.保存为PDF…"), g);
        setEnabled(cq, QStringLiteral("按钮_打印列表"), g);
        setEnabled(kContractChange, QStringLiteral("按钮_打印"), g);
        setEnabled(kContractChange, QStringLiteral("按钮_保存PDF"), g);
    }
    // Windows already open take their gates at once.
    if (QWidget *main = MainWindowWidget())
        applyTo(main, kMain);
    for (const QString &key : {kNavigation, kContractQuery, kSupplierQuery, kContractEntry, kSupplierEntry, kSystemConfig,
                               WindowKey::NumberGaps, WindowKey::SpendOverview})
        applyTo(Windows::find(key), key);
}

} // namespace cg
