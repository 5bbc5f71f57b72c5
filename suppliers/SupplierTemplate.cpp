#include "suppliers/SupplierTemplate.h"

#include <QFile>
#include <QSaveFile>

// The resources of a static library are registered by hand.
static void initSupplierResources() { Q_INIT_RESOURCE(suppliers); }

namespace cg::SupplierTemplate {

QByteArray bytes()
{
    initSupplierResources();
    QFile file(QStringLiteral(":/suppliers/supplier-template.xlsx"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool write(const QString &path)
{
    const QByteArray data = bytes();
    if (data.isEmpty() || path.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(data);
    return file.commit();
}

} // namespace cg::SupplierTemplate
