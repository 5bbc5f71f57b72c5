#pragma once
// "砚禾澄屿合同管理系统--合同查询": filter the contracts of the account set by
// document date and an optional condition, highlight rows with find, and
// from the popup menu preview, change, modify, delete, audit and unaudit.

#include "contracts/ContractBatch.h"
#include "contracts/ContractChange.h"
#include "contracts/ContractQuery.h"
#include "contracts/ContractQueryModel.h"
#include "ui/Shell.h"

#include <QPointer>
#include <functional>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;

namespace cg {

class AttachmentBrowseWindow;
class ContractChangeWindow;

// What a successful change or modify hands back to the list.
struct SavedContract {
    ChangeMode mode = ChangeMode::Change;
    QVector<qint64> lineIds;      // the lines as loaded, in table order
    ContractHeader header;        // the values now stored
    QVector<LineValues> lines;    // per loaded line
    bool hasAttachment = false;
};

class ContractQueryWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit ContractQueryWindow(QWidget *owner = nullptr);
    ~ContractQueryWindow() override;

    // 按钮_过滤 / Enter: runs the filter and fills the list.
    void filter();
    // 按钮_合同查找 / Enter: marks the rows that contain the find text.
    void find();
    // Filters on 合同编号 for one contract, over its document date (every
    // date when that is not known), as if the user had set the controls
    // and pressed 过滤. The remembered filter column is left as it was.
    void showContract(const QString &number, const QDate &documentDate);

    // The row the user works on: the current row when it is selected,
    // otherwise the top selected row; -1 when nothing is selected.
    int currentRow() const;
    // Column 21 of the current row: the id of its contract's head row; 0
    // when no row is selected.
    qint64 currentContractId() const;
    // One entry per selected contract, bottom first.
    QVector<SelectedContract> selectedContracts() const;

    // Menu actions. browseAttachment (&L.浏览附件) shows the attachment in a
    // window of its own; previewAttachment opens it in the system viewer.
    void browseAttachment();
    void previewAttachment();
    void openChange();
    void openModify();
    void deleteSelected();
    void auditSelected();
    void unauditSelected();
    void printContract();
    void saveContractPdf();
    // 按钮_打印列表: the list as it shows, under the filter it was made with.
    void printList();

    // Called by the change window after a save or a line deletion.
    void contractSaved(const SavedContract &saved);
    void lineDeleted(qint64 lineId);

    ContractListModel *model() const { return m_model; }
    QTableView *list() const { return m_list; }
    QMenu *popupMenu() const { return m_menu; }
    ContractChangeWindow *changeWindow() const;
    AttachmentBrowseWindow *browseWindow() const;

    // Export of the list; 按钮_导出 does nothing while none is set.
    using ExportHandler = std::function<void(ContractQueryWindow *window)>;
    static void setExportHandler(ExportHandler handler);

    // Runs between reading a filter's rows and showing them, while the fill
    // holds the list. Lets a test act in the middle of a fill.
    void setFillProbe(std::function<void()> probe) { m_fillProbe = std::move(probe); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showMenu(const QPoint &pos);
    void runBatch(BatchOperation op);
    void runBatchEntries(BatchOperation op);
    void report(int contracts, BatchOperation op, const BatchResult &result);
    void fill(const Filter &filter);
    void openChangeWindow(ChangeMode mode);
    FilterInput filterInput() const;
    // The id the menu actions work on: column 21 of the current row.
    qint64 workingId() const;

    QDateEdit *m_start = nullptr, *m_end = nullptr;
    QComboBox *m_filterField = nullptr, *m_findField = nullptr;
    QLineEdit *m_condition = nullptr, *m_findText = nullptr;
    QPushButton *m_filterButton = nullptr, *m_findButton = nullptr, *m_exportButton = nullptr;
    QPushButton *m_printListButton = nullptr;
    QString m_listFilter;   // the filter of the list shown, as printed above it
    QTableView *m_list = nullptr;
    ContractListModel *m_model = nullptr;
    QLabel *m_count = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_preview = nullptr;
    QPointer<ContractChangeWindow> m_change;
    QPointer<AttachmentBrowseWindow> m_browse;
    bool m_filling = false;
    bool m_batching = false;
    bool m_closeWhenDone = false;
    std::function<void()> m_fillProbe;
};

// The query window, owned by owner; registered under WindowKey::ContractQuery.
QWidget *CreateContractQueryWindow(QWidget *owner);

// Writes the stored attachment of the contract of a line id to the preview
// file 合同PDF预览.pdf in the working folder and asks the desktop to open it.
// False when there is nothing to show or the file could not be written.
bool PreviewStoredAttachment(qint64 lineId);

} // namespace cg
