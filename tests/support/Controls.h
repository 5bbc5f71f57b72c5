#pragma once
// Finding a window's controls by objectName; a missing control ends the
// test program with its name.

#include <QPushButton>
#include <QString>
#include <QWidget>

namespace cgtest {

template <typename T> T *child(QWidget *w, const QString &name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        qFatal("missing control %s", qPrintable(name));
    return c;
}

inline QPushButton *button(QWidget *w, const char *name) { return child<QPushButton>(w, QString::fromUtf8(name)); }

} // namespace cgtest
