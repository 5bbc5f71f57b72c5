#pragma once
// The spend overview window: the figures of SpendOverview for a 制单日期
// range, one grouping at a time, as a bar chart beside a table of the same
// figures; the table can be exported.

#include "spend/SpendOverview.h"
#include "ui/Shell.h"

#include <QStringList>

class QChartView;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;

namespace cg {

class SpendOverviewWindow : public ChildWindow {
    Q_OBJECT
public:
    enum Grouping { ByMonth, BySupplier, ByDepartment, ByAuditState };

    explicit SpendOverviewWindow(QWidget *owner = nullptr);

    const SpendFigures &figures() const { return m_figures; }
    // The titles and rows of the table as shown (the 合计 row last).
    QStringList tableTitles() const;
    QList<QStringList> tableRows() const;

private:
    void compute();
    void showGrouping();
    void showChart(const QList<SpendGroup> &groups, Grouping grouping);
    bool exportTable();

    QDateEdit *m_start = nullptr;
    QDateEdit *m_end = nullptr;
    QPushButton *m_computeButton = nullptr;
    QComboBox *m_grouping = nullptr;
    QPushButton *m_exportButton = nullptr;
    QLabel *m_summary = nullptr;
    QLabel *m_notNumber = nullptr;
    QChartView *m_chart = nullptr;
    QTableWidget *m_table = nullptr;
    SpendFigures m_figures;
    bool m_exporting = false;
};

QWidget *CreateSpendOverviewWindow(QWidget *owner);

} // namespace cg
