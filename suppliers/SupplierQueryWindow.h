#pragma once
// "砚禾澄屿合同管理系统--供应商查询": find suppliers by part of their name
// and, from the popup menu, change, modify, delete, audit and unaudit the
// selected one; export the list.

#include "suppliers/SupplierListModel.h"
#include "ui/Shell.h"

#include <QPointer>
#include <functional>

class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QTableView;

namespace cg {

class SupplierChangeWindow;

class SupplierQueryWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit SupplierQueryWindow(QWidget *owner = nullptr);
    ~SupplierQueryWindow() override;

    void query();            // 按钮_查找
    void findName();         // Enter in 组合框_名称
    void exportList();       // 按钮_导出

    // Menu actions on the selected row.
    void openChange();
    void openModify();
    void deleteSelected();
    void auditSelected();
    void unauditSelected();
    // Double-click: modify the supplier of that row.
    void modifyRow(int row);

    // The selected row; -1 when none is.
    int currentRow() const;
    void selectRow(int row);

    // Called by the change window after a save: rewrites the list row it was
    // opened on, provided that row still shows the supplier it loaded (old);
    // with all (every identical row was saved), each row showing old's six
    // values.
    void supplierSaved(int row, const SupplierRow &old, const SupplierRow &saved, SupplierEditMode mode, bool all = false);

    SupplierListModel *model() const { return m_model; }
    QTableView *list() const { return m_list; }
    QMenu *popupMenu() const { return m_menu; }
    SupplierChangeWindow *changeWindow() const;

    // Runs between reading a query's rows and showing them, while the fill
    // holds the list. Lets a test act in the middle of a fill.
    void setFillProbe(std::function<void()> probe) { m_fillProbe = std::move(probe); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showMenu(const QPoint &pos);
    void openEditor(SupplierEditMode mode, int row);
    void changeState(bool audit);
    // Runs fn unless another action, a fill or an export is running; a close
    // asked for meanwhile happens after it.
    void guarded(const std::function<void()> &fn);

    QComboBox *m_name = nullptr;
    QPushButton *m_find = nullptr, *m_export = nullptr;
    QTableView *m_list = nullptr;
    SupplierListModel *m_model = nullptr;
    QLabel *m_count = nullptr;
    QMenu *m_menu = nullptr;
    QPointer<SupplierChangeWindow> m_change;
    bool m_busy = false;
    bool m_closeWhenDone = false;
    std::function<void()> m_fillProbe;
};

// The query window, owned by owner; registered under WindowKey::SupplierQuery.
QWidget *CreateSupplierQueryWindow(QWidget *owner);

} // namespace cg
