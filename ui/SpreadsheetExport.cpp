#include "ui/SpreadsheetExport.h"
#include "ui/ProgressWindow.h"
#include "ui/Seams.h"
#include "ui/Shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTreeWidget>

namespace cg {

namespace {

const QString kSaveCaption = QStringLiteral("另存为");
const QString kSaveFilter = QStringLiteral("Excel文件 (*.xlsx)");
const QString kProgressCaption = QStringLiteral("正在导出，请稍候......");
const QString kCancelled = QStringLiteral("用户取消导出！");
const QString kInUse = QStringLiteral("覆盖保存失败！ 文件正被Excel程序占用，请关闭后重试！");
const QString kNoEngine =
    QStringLiteral("你的计算机上没有安装Microsoft Excel表格，无法使用导出功能！找IT安装 Microsoft Office套件！");
// A file or folder this user may not write: the cause is not another
// program, so the user is told what to change instead.
const QString kReadOnlyFile = QStringLiteral("覆盖保存失败！ 文件为只读或没有写入权限，请修改文件属性后重试！");
const QString kReadOnlyFolder = QStringLiteral("保存失败！ 所在文件夹为只读或没有写入权限，请另选文件夹后重试！");
const QString kBusy = QStringLiteral("另一个导出正在进行，请等它完成后再试！");

// The export's progress window repaints while rows are written; clicks
// and keys wait until the export is over.
class ExportProgress : public ProgressWindow {
public:
    ExportProgress(QWidget *parent, qint64 total)
        : ProgressWindow(parent, QStringLiteral("窗口_导出进度"), kProgressCaption, total)
    {
        show();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

    void step(qint64 done)
    {
        if (ProgressWindow::step(done) || done % 512 == 0)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
};

QString withSuffix(const QString &path)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("xlsx"), Qt::CaseInsensitive) == 0)
        return path;
    return path + QStringLiteral(".xlsx");
}

} // namespace

QString ExportProgressCaption(qint64 done, qint64 total)
{
    return ProgressCaption(kProgressCaption, done, total);
}

Sheet::RowSource ListViewRows(const QTreeWidget *list)
{
    Sheet::RowSource rows;
    rows.rowCount = list ? list->topLevelItemCount() : 0;
    rows.cell = [list = QPointer<const QTreeWidget>(list)](qint64 row, int column) {
        const QTreeWidgetItem *item = list ? list->topLevelItem(int(row)) : nullptr;
        return item ? item->text(column) : QString();
    };
    return rows;
}

bool ExportList(QWidget *owner, const QStringList &titles, const QTreeWidget *list)
{
    return ExportList(owner, titles, ListViewRows(list));
}

bool ExportList(QWidget *owner, const QStringList &titles, const Sheet::RowSource &rows)
{
    const QString chosen =
        FileDialogs::saveFile(owner, kSaveCaption, kSaveFilter, QCoreApplication::applicationDirPath());
    if (chosen.isEmpty()) {
        ShowMessage(kCancelled, QString(), MsgIcon::Information, owner);
        return false;
    }
    const QString path = withSuffix(chosen);
    const QString shown = QDir::toNativeSeparators(path);
    // Nothing is started for a target that cannot be written.
    switch (Sheet::TargetStatus(path)) {
    case Sheet::ExportStatus::FileInUse:
        ShowMessage(shown + kInUse, QString(), MsgIcon::Error, owner);
        return false;
    case Sheet::ExportStatus::ReadOnlyFile:
        ShowMessage(shown + kReadOnlyFile, QString(), MsgIcon::Error, owner);
        return false;
    case Sheet::ExportStatus::ReadOnlyFolder:
        ShowMessage(shown + kReadOnlyFolder, QString(), MsgIcon::Error, owner);
        return false;
    default:
        break;
    }

    Sheet::ExportResult result;
    {
        QWidget *parent = MainWindowWidget() ? MainWindowWidget() : owner;
        ExportProgress progress(parent, rows.rowCount);
        result = Sheet::ExportWorkbook(path, titles, rows,
                                       [&progress](qint64 done, qint64) { progress.step(done); });
    }

    switch (result.status) {
    case Sheet::ExportStatus::Ok:
        ShowMessage(QStringLiteral("成功导出：") + shown, QString(), MsgIcon::Information, owner);
        return true;
    case Sheet::ExportStatus::FileInUse:
        ShowMessage(shown + kInUse, QString(), MsgIcon::Error, owner);
        break;
    case Sheet::ExportStatus::ReadOnlyFile:
        ShowMessage(shown + kReadOnlyFile, QString(), MsgIcon::Error, owner);
        break;
    case Sheet::ExportStatus::ReadOnlyFolder:
        ShowMessage(shown + kReadOnlyFolder, QString(), MsgIcon::Error, owner);
        break;
    case Sheet::ExportStatus::EngineFailed:
        ShowMessage(kNoEngine, QString(), MsgIcon::Error, owner);
        break;
    case Sheet::ExportStatus::Busy:
        ShowMessage(kBusy, QString(), MsgIcon::Error, owner);
        break;
    case Sheet::ExportStatus::WriteFailed:
    case Sheet::ExportStatus::InvalidInput:
        ShowMessage(QStringLiteral("导出：") + shown + QStringLiteral(" 文件失败！"), QString(),
                    MsgIcon::Information, owner);
        break;
    }
    if (!result.detail.isEmpty())
        qWarning("export to %s failed: %s", qPrintable(path), qPrintable(result.detail));
    return false;
}

} // namespace cg
