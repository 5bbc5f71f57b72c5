#pragma once
// "砚禾澄屿合同管理系统--供应商变更" / "--供应商修改": edits one stored
// supplier, opened from the supplier query window on one of its rows. The
// mode is fixed when the window opens.

#include "suppliers/SupplierInputs.h"
#include "ui/Shell.h"

#include <QPointer>

class QLabel;

namespace cg {

class SupplierQueryWindow;

class SupplierChangeWindow : public ChildWindow {
    Q_OBJECT
public:
    // Loads the supplier named name; listRow is the query list row the save
    // rewrites. isLoaded() is false when no such supplier is stored.
    SupplierChangeWindow(SupplierEditMode mode, const QString &name, int listRow, SupplierQueryWindow *query,
                         QWidget *owner = nullptr);

    bool isLoaded() const { return m_loaded; }
    SupplierEditMode mode() const { return m_mode; }
    // The supplier as it was stored when the window opened.
    const SupplierRow &remembered() const { return m_old; }
    int listRow() const { return m_row; }

    // A value differs from the one loaded.
    bool hasUnsavedChanges() const;
    // Before the window is replaced by another one: true when it has no
    // unsaved changes or the user agrees to drop them (No is the default).
    bool confirmDiscard();

    void save();   // 按钮_确定

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    SupplierEditMode m_mode;
    SupplierInputs m_inputs;
    QLabel *m_hint = nullptr;
    QPointer<SupplierQueryWindow> m_query;
    int m_row = -1;
    SupplierRow m_old;
    SupplierRow m_shown;   // the inputs right after loading
    bool m_loaded = false;
    bool m_quiet = false;   // closed by a save: no closing entry
};

} // namespace cg
