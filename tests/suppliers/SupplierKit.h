#pragma once
// What the supplier tests share: a logged-in world with the windows
// registered, stored suppliers and basic data, and a look at what was
// written and shown.

#include "app/Catalog.h"
#include "spreadsheet/WorkbookProbe.h"
#include "support/TestEnv.h"
#include "suppliers/Suppliers.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

namespace kit {

template <typename T> T *child(QObject *w, const QString &name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        qWarning("missing control %s", qPrintable(name));
    return c;
}

class Env : public cgtest::TestEnv {
public:
    explicit Env(const QString &user = QStringLiteral("admin"))
    {
        loginAs(user);
        cg::RegisterWindows();
    }

    void addBasic(const QString &column, const QString &value)
    {
        QVariantList values;
        for (const QString &c : {QStringLiteral("申请部门"), QStringLiteral("采购员"), QStringLiteral("计量单位"),
                                 QStringLiteral("付款方式"), QStringLiteral("申请人"), QStringLiteral("税率")})
            values << (c == column ? value : QString(QLatin1String("")));
        QVERIFY(db().execute(
            QStringLiteral("insert into jczlb(申请部门,采购员,计量单位,付款方式,申请人,税率) values(?,?,?,?,?,?)"), values));
    }

    // A supplier "state|name|telephone|contact|address|tax|terms".
    void addSupplier(const QString &row)
    {
        const QStringList c = row.split(QLatin1Char('|'));
        QVERIFY(db().execute(QStringLiteral("insert into gysb(单据状态,名称,电话,联系人,地址,税率,付款方式) "
                                            "values(?,?,?,?,?,?,?)"),
                             {c.value(0), c.value(1), c.value(2), c.value(3), c.value(4), c.value(5), c.value(6)}));
    }

    // The stored suppliers in that form, in storing order.
    QStringList suppliers()
    {
        QStringList out;
        for (const QStringList &r :
             rows(QStringLiteral("select 单据状态,名称,电话,联系人,地址,税率,付款方式 from gysb order by rowid")))
            out << r.join(QLatin1Char('|'));
        return out;
    }

    // Log entries written after the first `from` ones.
    QStringList logSince(int from) { return logTriples().mid(from); }
};

inline QString lastText()
{
    return cg::MessageSeam::shown().isEmpty() ? QString() : cg::MessageSeam::shown().last().text;
}

// The last box shown is text with that icon and the title "系统提示".
inline bool lastBox(const QString &text, cg::MsgIcon icon)
{
    if (cg::MessageSeam::shown().isEmpty()) {
        qWarning("no message box");
        return false;
    }
    const cg::ShownMessage &m = cg::MessageSeam::shown().last();
    const QString title = m.title.isEmpty() ? QStringLiteral("系统提示") : m.title;
    if (m.text != text || m.icon != icon || title != QStringLiteral("系统提示")) {
        qWarning("box: %s (icon %d, title %s)", qPrintable(m.text), int(m.icon), qPrintable(title));
        return false;
    }
    return true;
}

// Writes a workbook with openpyxl: row 1 the titles, then these rows.
inline bool writeWorkbook(const QString &path, const QList<QStringList> &rows)
{
    QJsonArray array;
    array.append(QJsonArray::fromStringList({QStringLiteral("单据状态"), QStringLiteral("名称"), QStringLiteral("电话"),
                                             QStringLiteral("联系人"), QStringLiteral("地址"), QStringLiteral("税率"),
                                             QStringLiteral("付款方式")}));
    for (const QStringList &r : rows)
        array.append(QJsonArray::fromStringList(r));
    const QJsonDocument done = probe::python(QStringLiteral(R"(
import json, sys
from openpyxl import Workbook
wb = Workbook()
for r in json.loads(sys.argv[2]):
    wb.active.append([c if c != '' else None for c in r])
wb.save(sys.argv[1])
print('{"ok": true}')
)"),
                                             {path, QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact))});
    return !done.isNull();
}

// The first worksheet of a workbook as rows of texts (openpyxl), with the
// sheet name first and the widths of columns B to E after it.
inline QJsonDocument readWorkbook(const QString &path)
{
    return probe::python(QStringLiteral(R"(
import json, sys
from openpyxl import load_workbook
ws = load_workbook(sys.argv[1]).worksheets[0]
rows = [[('' if c is None else str(c)) for c in r] for r in ws.iter_rows(values_only=True)]
widths = [ws.column_dimensions[c].width for c in 'BCDE']
print(json.dumps({'name': ws.title, 'rows': rows, 'widths': widths}))
)"),
                         {path});
}

inline QList<QStringList> sheetRows(const QJsonDocument &doc)
{
    QList<QStringList> out;
    for (const QJsonValue &r : doc[QStringLiteral("rows")].toArray()) {
        QStringList cells;
        for (const QJsonValue &c : r.toArray())
            cells << c.toString();
        out << cells;
    }
    return out;
}

} // namespace kit
