#include "backup/Background.h"

#include <QCoreApplication>
#include <QList>
#include <QMutex>
#include <QPointer>

namespace cg {

namespace {
QMutex g_lock;
QList<QPointer<QThread>> g_threads;

void waitAtExit() { WaitForBackgroundWork(); }
} // namespace

void TrackBackgroundThread(QThread *thread)
{
    static const bool registered = (qAddPostRoutine(waitAtExit), true);
    Q_UNUSED(registered);
    QMutexLocker hold(&g_lock);
    g_threads.removeAll(QPointer<QThread>());
    g_threads << thread;
}

void WaitForBackgroundWork()
{
    QList<QPointer<QThread>> threads;
    {
        QMutexLocker hold(&g_lock);
        threads = g_threads;
    }
    for (const QPointer<QThread> &t : threads)
        if (t)
            t->wait();
}

} // namespace cg
