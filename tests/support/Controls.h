#pragma once
// Finding a window's controls by objectName; a missing control ends the
// test program with its name.

#include <QAbstractItemModel>
#include <QList>
#include <QPushButton>
#include <QStringList>
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

// What a list shows: the display text of every cell, row by row.
inline QList<QStringList> shownRows(const QAbstractItemModel *model)
{
    QList<QStringList> rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < model->columnCount(); ++c)
            row << model->index(r, c).data().toString();
        rows << row;
    }
    return rows;
}

} // namespace cgtest
