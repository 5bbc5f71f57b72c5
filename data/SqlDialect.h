#pragma once
#include <QString>

namespace cg::SqlDialect {

// The program writes T-SQL. The few forms SQLite does not know are rewritten
// here and nowhere else: IDENTITY(1,1) keys, information_schema.TABLES,
// nvarchar(max), getdate() and select top N.
QString forSqlite(const QString &sql);

// Every quoted literal becomes a national (N'…') literal, so fixed Chinese
// texts in statements survive whatever the server's code page is.
QString forSqlServer(const QString &sql);

// A text as a quoted literal with every quote doubled. For the rare place
// where a value cannot be bound (none so far outside tests and tools).
QString quoted(const QString &value);

} // namespace cg::SqlDialect
