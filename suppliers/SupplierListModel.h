#pragma once
// The supplier query list: one row per supplier, columns 0 to 6 the values
// of gysb in table order and an untitled eighth column.

#include "suppliers/Suppliers.h"

#include <QAbstractTableModel>
#include <QVector>

namespace cg {

class SupplierListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 8;
    explicit SupplierListModel(QObject *parent = nullptr);

    void setRows(QVector<SupplierRow> rows);
    void clear() { setRows({}); }
    const SupplierRow &row(int r) const { return m_rows.at(r); }
    bool isRow(int r) const { return r >= 0 && r < m_rows.size(); }
    QString cell(int r, int column) const;
    // First row holding exactly these values; -1 when none does.
    int indexOf(const SupplierRow &row) const;

    void setState(int r, const QString &state);
    void setRow(int r, const SupplierRow &row);
    void removeRowAt(int r);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static const QVector<int> &columnWidths();

private:
    QVector<SupplierRow> m_rows;
};

} // namespace cg
