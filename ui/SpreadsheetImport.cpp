#include "ui/SpreadsheetImport.h"
#include "ui/Seams.h"

#include <QApplication>
#include <QDir>
#include <QTreeWidget>

namespace cg {

namespace {

const QString kOpenCaption = QStringLiteral("打开");
const QString kOpenFilter = QStringLiteral("Excel文件 (*.xlsx)");

QString readFailure(Sheet::ReadStatus status, const QString &path)
{
    const QString shown = QDir::toNativeSeparators(path);
    switch (status) {
    case Sheet::ReadStatus::CannotOpen:
        return QStringLiteral("无法打开文件：") + shown + QStringLiteral("，文件不存在、正被其他程序占用或没有读取权限！");
    case Sheet::ReadStatus::NotWorkbook:
        return QStringLiteral("无法读取文件：") + shown + QStringLiteral("，它不是Excel工作簿（.xlsx）文件！");
    case Sheet::ReadStatus::TooLarge:
        return QStringLiteral("无法读取文件：") + shown + QStringLiteral("，文件太大！");
    case Sheet::ReadStatus::Damaged:
    case Sheet::ReadStatus::Ok:
        break;
    }
    return QStringLiteral("无法读取文件：") + shown + QStringLiteral("，文件已损坏！");
}

} // namespace

std::optional<QList<QStringList>> ImportRows(QWidget *owner, int columns, const QString &path)
{
    const QString file = path.isEmpty() ? FileDialogs::openFile(owner, kOpenCaption, kOpenFilter) : path;
    if (file.isEmpty())
        return std::nullopt;

    Sheet::ReadOptions options;
    options.progress = [](qint64 rows) {
        if (rows % 256 == 0)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Sheet::ReadResult result = Sheet::ReadFirstSheet(file, columns, options);
    QApplication::restoreOverrideCursor();
    if (!result.ok()) {
        qWarning("reading %s failed: %s", qPrintable(file), qPrintable(result.detail));
        ShowMessage(readFailure(result.status, file), QString(), MsgIcon::Error, owner);
        return std::nullopt;
    }
    return std::move(result.rows);
}

bool ImportIntoList(QWidget *owner, QTreeWidget *list, const QStringList &titles)
{
    const std::optional<QList<QStringList>> rows = ImportRows(owner, int(titles.size()));
    if (!rows)
        return false;
    list->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(rows->size());
    for (const QStringList &cells : *rows)
        items << new QTreeWidgetItem(cells);
    list->addTopLevelItems(items);
    return true;
}

} // namespace cg
