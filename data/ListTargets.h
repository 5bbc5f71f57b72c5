#pragma once
// Lists that several windows show (basic data kinds, supplier names) reach
// every open window through targets the windows register here; the owner of
// a list publishes it without knowing the windows.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace cg::ListTargets {

// List names used by the owners.
inline const QString Department = QStringLiteral("申请部门");
inline const QString Buyer = QStringLiteral("采购员");
inline const QString Unit = QStringLiteral("计量单位");
inline const QString PaymentTerms = QStringLiteral("付款方式");
inline const QString Requester = QStringLiteral("申请人");
inline const QString TaxRate = QStringLiteral("税率");
inline const QString SupplierName = QStringLiteral("供应商名称");
inline const QString UserName = QStringLiteral("用户名");

using Fill = std::function<void(const QStringList &values)>;

// Registers a target for a list; it is dropped when context is destroyed.
void add(const QString &list, QObject *context, Fill fill);
// Hands the values to every registered target of the list.
void publish(const QString &list, const QStringList &values);
// Number of live targets of a list.
int count(const QString &list);

} // namespace cg::ListTargets
