#include "contracts/ContractImportRun.h"
#include "data/Db.h"

#include <QAtomicInteger>
#include <QEventLoop>
#include <QPointer>
#include <QProgressBar>
#include <QThread>
#include <QWidget>

namespace cg {

namespace {

const QString kProgressCaption = QStringLiteral("正在导入，请稍候......");

class ProgressWindow : public QWidget {
public:
    ProgressWindow(QWidget *owner, int total)
        : QWidget(owner ? owner->window() : nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
          m_total(total)
    {
        setObjectName(QStringLiteral("窗口_导入进度"));
        setWindowTitle(ImportProgressCaption(0, total));
        setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
        setFixedSize(354, 20);
        m_bar = new QProgressBar(this);
        m_bar->setObjectName(QStringLiteral("进度条1"));
        m_bar->setGeometry(0, 0, 354, 20);
        m_bar->setTextVisible(false);
        m_bar->setRange(0, qMax(total, 1));
        m_bar->setValue(0);
    }

    void step(int done)
    {
        m_bar->setValue(done);
        setWindowTitle(ImportProgressCaption(done, m_total));
    }

private:
    QProgressBar *m_bar;
    int m_total;
};

} // namespace

QString ImportProgressCaption(qint64 done, qint64 total)
{
    const qint64 percent = total > 0 ? done * 100 / total : 100;
    return kProgressCaption + u'(' + QString::number(percent) + QStringLiteral("%）");
}

ContractImport::Result RunContractImport(QWidget *owner, DbConnection &db, const LoginContext &login,
                                         const QList<QStringList> &rows)
{
    const ConnectionSpec values = db.connectionValues();
    const int total = int(rows.size());
    ContractImport::Result result;
    result.outcome = ContractImport::Outcome::Failed;
    result.row = 1;
    result.number = ContractImport::rowOf(rows.value(0)).number;

    ProgressWindow progress(owner, total);
    progress.show();
    QPointer<ProgressWindow> shown(&progress);

    static QAtomicInteger<quint64> serial;
    const QString name = QStringLiteral("contract-import-%1").arg(++serial);
    QThread *worker = QThread::create([&, name] {
        DbConnection conn(name);
        if (!conn.open(values)) {
            qWarning("import: no connection of its own: %s", qPrintable(conn.lastError()));
            return;
        }
        ContractImport import(conn, login);
        result = import.save(rows, [&](int done, int) {
            // Shown by the window's thread; the window outlives the worker.
            QMetaObject::invokeMethod(
                &progress, [shown, done] { if (shown) shown->step(done); }, Qt::QueuedConnection);
        });
    });
    QEventLoop loop;
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;
    return result;
}

} // namespace cg
