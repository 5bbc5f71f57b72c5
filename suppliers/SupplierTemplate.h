#pragma once
// The empty supplier import workbook carried inside the program: row 1 the
// column titles 单据状态 … 付款方式 (A to G), row 2 one sample supplier.

#include <QByteArray>
#include <QString>

namespace cg::SupplierTemplate {

QByteArray bytes();
// Writes the workbook to path, creating or replacing the file; the file is
// either the complete workbook or left as it was. False when it could not
// be written.
bool write(const QString &path);

} // namespace cg::SupplierTemplate
