#pragma once
// A table model over a RowStore, for the big list windows. Either it is
// given a whole store (filled here or on a worker thread), or it is given a
// RowSource and reads a page at a time as the view scrolls (canFetchMore /
// fetchMore).

#include "data/RowStore.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <memory>

namespace cg {

class RowTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RowTableModel(QObject *parent = nullptr);
    ~RowTableModel() override;

    // Shows these rows; any source is dropped.
    void setStore(const RowStore &store);
    // Adds rows read elsewhere (same columns); false when they do not fit.
    bool appendRows(const RowStore &rows);
    // Reads from the source from now on: the first page at once, further
    // pages by fetchMore(). False when the first page failed (lastError()).
    bool setSource(std::unique_ptr<RowSource> source, int pageSize = 1000);
    void clear();

    // Header texts by column; columns without a label show the column name.
    void setHeaderLabels(const QStringList &labels);
    QStringList headerLabels() const { return m_labels; }

    const RowStore &store() const { return m_store; }
    int pageSize() const { return m_pageSize; }
    QString lastError() const { return m_error; }
    QString text(int row, int column) const { return m_store.text(row, column); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

Q_SIGNALS:
    // Reading a further page failed; the rows read so far stay.
    void fetchFailed(const QString &error);

private:
    bool fetchPage();

    RowStore m_store;
    std::unique_ptr<RowSource> m_source;
    QStringList m_labels;
    int m_pageSize = 1000;
    QString m_error;
};

} // namespace cg
