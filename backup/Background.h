#pragma once
// Runs work on a thread of its own and hands the result back to the thread
// of context (the user-interface thread), so the windows stay usable. done
// is not called when context is gone by then. The application waits for
// such work before it ends, so no database connection is torn down under it.

#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

namespace cg {

// Keeps the thread until it has finished; waited for when the application object goes.
void TrackBackgroundThread(QThread *thread);
// Waits for every tracked thread.
void WaitForBackgroundWork();

template <typename T>
void RunInBackground(QObject *context, std::function<T()> work, std::function<void(const T &)> done)
{
    auto result = std::make_shared<T>();
    QThread *thread = QThread::create([work = std::move(work), result] { *result = work(); });
    QObject::connect(thread, &QThread::finished, context, [done = std::move(done), result] { done(*result); });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    TrackBackgroundThread(thread);
    thread->start();
}

} // namespace cg
