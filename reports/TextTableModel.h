#pragma once
// A read-only table of texts with fixed header labels, for the report lists.

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

namespace cg {

class TextTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TextTableModel(const QStringList &headers, QObject *parent = nullptr)
        : QAbstractTableModel(parent), m_headers(headers)
    {
    }

    void setRows(QList<QStringList> rows)
    {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
    }
    const QList<QStringList> &rows() const { return m_rows; }
    QString text(int row, int column) const { return m_rows.value(row).value(column); }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_headers.size());
    }
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return {};
        return text(index.row(), index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return m_headers.value(section);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    QStringList m_headers;
    QList<QStringList> m_rows;
};

} // namespace cg
