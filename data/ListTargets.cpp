#include "data/ListTargets.h"

#include <QHash>
#include <QPointer>
#include <QVector>

namespace cg::ListTargets {

namespace {
struct Target {
    QPointer<QObject> context;
    Fill fill;
};
QHash<QString, QVector<Target>> &targets()
{
    static QHash<QString, QVector<Target>> t;
    return t;
}
void prune(QVector<Target> &list)
{
    list.erase(std::remove_if(list.begin(), list.end(), [](const Target &t) { return t.context.isNull(); }),
               list.end());
}
} // namespace

void add(const QString &list, QObject *context, Fill fill)
{
    targets()[list].append({context, std::move(fill)});
}

void publish(const QString &list, const QStringList &values)
{
    auto it = targets().find(list);
    if (it == targets().end())
        return;
    prune(*it);
    const QVector<Target> copy = *it;   // a fill may register or close windows
    for (const Target &t : copy)
        if (t.context)
            t.fill(values);
}

int count(const QString &list)
{
    auto it = targets().find(list);
    if (it == targets().end())
        return 0;
    prune(*it);
    return it->size();
}

} // namespace cg::ListTargets
