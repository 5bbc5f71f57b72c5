#pragma once
// "砚禾澄屿合同管理系统--合同变更" / "--合同修改": one contract of the query
// list, opened for the id the query window hands over. Change mode edits
// the instalments only; modify mode every value, the lines and the
// attachment.

#include "contracts/ContractChange.h"
#include "ui/Shell.h"

#include <QHash>
#include <QPointer>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableWidget;

namespace cg {

class ContractQueryWindow;

class ContractChangeWindow : public ChildWindow {
    Q_OBJECT
public:
    // id: column 21 of the query list's current row. query receives the
    // saved values; it may be null.
    ContractChangeWindow(ChangeMode mode, qint64 id, ContractQueryWindow *query, QWidget *owner = nullptr);

    bool isLoaded() const { return m_loaded; }
    ChangeMode mode() const { return m_mode; }
    const LoadedContract &loadedContract() const { return m_contract; }
    const TouchedFields &touched() const { return m_touched; }
    PendingAttachment &pendingAttachment() { return m_pending; }

    // Something differs from what was loaded: a value, a line or the
    // attachment.
    bool hasUnsavedChanges() const;
    // Before the window is replaced by another one: true when it has no
    // unsaved changes or the user agrees to drop them (No is the default).
    bool confirmDiscard();

    void save();              // 按钮_确定
    void editAttachment();    // 按钮_修改
    void deleteCurrentLine(); // menu "删 除", Enter in the grid
    void printContract();     // 按钮_打印: the contract as stored
    void saveContractPdf();   // 按钮_保存PDF

    QTableWidget *grid() const { return m_grid; }
    QMenu *popupMenu() const { return m_menu; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void load(qint64 id);
    // Shows a stored date text; one that is no date is shown as such and
    // kept until the user picks a date.
    void showStoredDate(QDateEdit *picker, const QString &stored);
    QString dateOf(QDateEdit *picker) const;
    void touch(ChangeField field);
    void recomputeBalance();
    void supplierChosen();
    void supplierLookup();
    ContractHeader currentHeader() const;
    QVector<LineValues> currentLines() const;
    bool checkRequired();
    // Goes away without a closing entry (after a save or a line deletion).
    void closeQuietly();

    ChangeMode m_mode;
    QPointer<ContractQueryWindow> m_query;
    LoadedContract m_contract;
    TouchedFields m_touched;
    PendingAttachment m_pending;
    bool m_loaded = false;
    bool m_loading = true;
    bool m_quiet = false;
    // Per date picker: the text as stored, and whether the user has picked a
    // date since (only then is the picker's date written).
    struct StoredDate {
        QString text;
        bool valid = false;
        bool picked = false;
    };
    QHash<const QDateEdit *, StoredDate> m_dates;

    QLineEdit *m_number, *m_documentDate;
    QComboBox *m_requester, *m_department, *m_buyer, *m_terms, *m_supplier, *m_taxRate;
    QDateEdit *m_effective, *m_expiry;
    QLineEdit *m_amount, *m_first, *m_second, *m_third, *m_fourth, *m_remaining;
    QPushButton *m_attachment, *m_ok, *m_close;
    QPushButton *m_print, *m_savePdf;
    QTableWidget *m_grid;
    QMenu *m_menu;
};

} // namespace cg
