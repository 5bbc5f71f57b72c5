#include "contracts/ContractImportRun.h"
#include "data/Db.h"
#include "ui/ProgressWindow.h"

#include <QAtomicInteger>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QWidget>

namespace cg {

namespace {

const QString kProgressCaption = QStringLiteral("正在导入，请稍候......");

} // namespace

QString ImportProgressCaption(qint64 done, qint64 total)
{
    return ProgressCaption(kProgressCaption, done, total);
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

    ProgressWindow progress(owner ? owner->window() : nullptr, QStringLiteral("窗口_导入进度"), kProgressCaption,
                            total);
    progress.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    progress.step(0);
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
