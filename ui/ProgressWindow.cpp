#include "ui/ProgressWindow.h"

#include <QProgressBar>

namespace cg {

QString ProgressCaption(const QString &caption, qint64 done, qint64 total)
{
    const qint64 percent = total > 0 ? done * 100 / total : 100;
    return caption + u'(' + QString::number(percent) + QStringLiteral("%）");
}

ProgressWindow::ProgressWindow(QWidget *parent, const QString &objectName, const QString &caption, qint64 total)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_caption(caption),
      m_total(total)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    // The caption carries the percentage; the window is just the bar
    // (357 × 49 with the caption and frame around it).
    setFixedSize(354, 20);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName(QStringLiteral("进度条1"));
    m_bar->setGeometry(0, 0, 354, 20);
    m_bar->setTextVisible(false);
    m_bar->setRange(0, int(qMax<qint64>(total, 1)));
    m_bar->setValue(0);
}

bool ProgressWindow::step(qint64 done)
{
    m_bar->setValue(int(done));
    const qint64 percent = m_total > 0 ? done * 100 / m_total : 100;
    if (percent == m_percent)
        return false;
    m_percent = percent;
    setWindowTitle(ProgressCaption(m_caption, done, m_total));
    return true;
}

} // namespace cg
