#pragma once
// "砚禾澄屿合同管理系统--供应商资料": add suppliers one at a time from six
// inputs, or load a workbook into the pending list and store it at once;
// also saves the empty import workbook.

#include "suppliers/SupplierInputs.h"
#include "ui/Shell.h"

class QLabel;
class QTreeWidget;

namespace cg {

class SupplierEntryWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit SupplierEntryWindow(QWidget *owner = nullptr);

    void downloadTemplate();   // 按钮_模板下载
    void importWorkbook();     // 按钮_导入
    void clearList();          // 按钮_清空
    void save();               // 按钮_保存

    bool importMode() const { return m_importMode; }
    QTreeWidget *list() const { return m_list; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void saveOne();
    void saveBatch();

    SupplierInputs m_inputs;
    QLabel *m_hint = nullptr, *m_count = nullptr;
    QTreeWidget *m_list = nullptr;
    bool m_importMode = false;
    bool m_busy = false;            // a save or an import runs (its message boxes wait for the user)
    bool m_closeWhenDone = false;
};

// The entry window, owned by owner; registered under WindowKey::SupplierEntry.
QWidget *CreateSupplierEntryWindow(QWidget *owner);

} // namespace cg
