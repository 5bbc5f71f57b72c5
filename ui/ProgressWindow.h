#pragma once
// The small window that shows how far a long piece of work is: just a bar,
// the percentage in the caption ("正在导出，请稍候......(50%）").

#include <QWidget>

class QProgressBar;

namespace cg {

// caption followed by "(N%）" for done of total; 100% when total is 0.
QString ProgressCaption(const QString &caption, qint64 done, qint64 total);

class ProgressWindow : public QWidget {
public:
    ProgressWindow(QWidget *parent, const QString &objectName, const QString &caption, qint64 total);

    // Moves the bar; true when the percentage in the caption changed.
    bool step(qint64 done);

private:
    QProgressBar *m_bar;
    QString m_caption;
    qint64 m_total;
    qint64 m_percent = -1;
};

} // namespace cg
