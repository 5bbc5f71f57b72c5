#pragma once
// The contract entry window: the header form, the product grid, the PDF
// copy and the list of the contracts saved since it opened. The rules live
// in ContractEntry; this window binds its controls to them.

#include "contracts/Attachment.h"
#include "contracts/ContractEntry.h"
#include "contracts/ContractLookup.h"
#include "ui/Shell.h"

#include <functional>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableWidget;
class QTreeWidget;

namespace cg {

class UnitDelegate;

class ContractEntryWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit ContractEntryWindow(QWidget *owner = nullptr);

    // Contracts saved through this window since the program started.
    static int savedCount();

    void save();
    void addLine();
    void deleteCurrentLine();
    void chooseAttachment();

    // The spreadsheet import: 按钮_模板 saves the template, 按钮_导入 loads a
    // workbook into the list, 按钮_清空 drops the loaded rows.
    void downloadTemplate();
    void loadWorkbook();
    void clearList();
    const PendingAttachment &pendingAttachment() const { return m_pending; }

    // The spreadsheet import shares the save button: while import mode is
    // on, saving runs importSave instead of the form; it returns true when
    // every row went in, which ends import mode. By default it stores the
    // rows of the list (ContractImport).
    void setImportMode(bool on) { m_importMode = on; }
    bool importMode() const { return m_importMode; }
    void setImportSave(std::function<bool()> importSave) { m_importSave = std::move(importSave); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QComboBox *combo(const QString &name);
    QLineEdit *edit(const QString &name);
    ContractForm form() const;
    QList<ProductLine> lines() const;
    void commitGridEdit();
    void recomputeBalance();
    void applySupplierDefaults();
    void lookup(LookupField field, QComboBox *box);
    void showGridMenu(const QPoint &pos);
    void appendToList(const QList<ContractRow> &rows, bool withAttachment);
    void resetForm(const ContractStore &store);
    // Shows the next number and remembers it as the program's proposal.
    void proposeNumber(const ContractStore &store);
    bool saveImportedRows();

    QLineEdit *m_number = nullptr;
    QString m_proposedNumber;
    QLineEdit *m_documentDate = nullptr;
    QComboBox *m_requester = nullptr;
    QComboBox *m_buyer = nullptr;
    QComboBox *m_department = nullptr;
    QDateEdit *m_effective = nullptr;
    QDateEdit *m_expiry = nullptr;
    QComboBox *m_supplier = nullptr;
    QComboBox *m_paymentTerms = nullptr;
    QComboBox *m_taxRate = nullptr;
    QLineEdit *m_amount = nullptr;
    QLineEdit *m_first = nullptr;
    QLineEdit *m_second = nullptr;
    QLineEdit *m_third = nullptr;
    QLineEdit *m_fourth = nullptr;
    QLineEdit *m_remaining = nullptr;
    QTableWidget *m_grid = nullptr;
    UnitDelegate *m_unitDelegate = nullptr;
    QMenu *m_menu = nullptr;
    QTreeWidget *m_list = nullptr;
    QLabel *m_count = nullptr;

    PendingAttachment m_pending;
    bool m_importMode = false;
    std::function<bool()> m_importSave;
    bool m_importing = false;
    bool m_closing = false;
};

// The contract entry window, owned by owner.
QWidget *CreateContractEntryWindow(QWidget *owner);

} // namespace cg
