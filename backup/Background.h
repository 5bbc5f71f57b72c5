#pragma once
// Runs work on a thread of its own and hands the result back to the thread
// of context (the user-interface thread), so the windows stay usable. done
// is not called when context is gone by then.

#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

namespace cg {

template <typename T>
void RunInBackground(QObject *context, std::function<T()> work, std::function<void(const T &)> done)
{
    auto result = std::make_shared<T>();
    QThread *thread = QThread::create([work = std::move(work), result] { *result = work(); });
    QObject::connect(thread, &QThread::finished, context, [done = std::move(done), result] { done(*result); });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

} // namespace cg
