#include "data/AccountSetRecord.h"
#include "data/Db.h"

namespace cg {

std::optional<QStringList> FindAccountSetRow(DbConnection &db, const QString &name)
{
    Recordset rs(db);
    if (!rs.open(QStringLiteral("select * from ztb where 账套名=?"), {name}) || rs.eof())
        return std::nullopt;
    while (!rs.eof() && rs.text(ZtbColumn::Name) != name)
        rs.moveNext();
    if (rs.eof())
        rs.moveFirst();
    QStringList row;
    for (int i = 0; i < rs.columnCount(); ++i)
        row << rs.text(i);
    return row;
}

} // namespace cg
