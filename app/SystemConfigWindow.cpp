#include "app/SystemConfigWindow.h"
#include "app/MainWindow.h"
#include "ui/Printing.h"
#include "ui/Seams.h"
#include "app/SystemConfig.h"
#include "backup/DailyBackup.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "reports/ExpiryReminders.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextEdit>
#include <QVBoxLayout>

namespace cg {

namespace {
const QString kModule = QStringLiteral("系统配置");

QLabel *Hint(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(objectName);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, QColor(96, 96, 96));
    label->setPalette(p);
    return label;
}

void Log(const QString &description)
{
    WriteLogEntry(QStringLiteral("操作"), description, kModule);
}
} // namespace

QWidget *CreateSystemConfigWindow(QWidget *owner) { return new SystemConfigWindow(owner); }

SystemConfigWindow::SystemConfigWindow(QWidget *owner)
    : ChildWindow(kModule, kModule, QStringLiteral("打开系统配置窗口"), QStringLiteral("关闭系统配置窗口"), owner)
{
    setObjectName(QStringLiteral("系统配置"));

    // Appearance.
    auto *look = new QGroupBox(QStringLiteral(" 外观设置 "), this);
    look->setObjectName(QStringLiteral("分组框_外观设置"));
    m_path = new QTextEdit(look);
    m_path->setObjectName(QStringLiteral("编辑框_背景路径"));
    m_path->setAcceptRichText(false);
    m_path->setLineWrapMode(QTextEdit::NoWrap);
    m_path->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_path->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_path->setTabChangesFocus(true);
    m_path->setFixedHeight(m_path->fontMetrics().height() + 12);
    m_browse = new QPushButton(QStringLiteral("浏览..."), look);
    m_browse->setObjectName(QStringLiteral("按钮_浏览"));
    m_clear = new QPushButton(QStringLiteral("清除"), look);
    m_clear->setObjectName(QStringLiteral("按钮_清除"));
    m_placement = new QComboBox(look);
    m_placement->setObjectName(QStringLiteral("组合框_图片位置"));
    m_placement->addItems({SystemConfig::kTopLeft, SystemConfig::kTiled, SystemConfig::kCentred});

    auto *lookGrid = new QGridLayout(look);
    AddFieldRow(lookGrid, 0, QStringLiteral("标签5"), QStringLiteral("背景图片:"), m_path);
    auto *pictureButtons = new QHBoxLayout;
    pictureButtons->addWidget(m_browse);
    pictureButtons->addWidget(m_clear);
    lookGrid->addLayout(pictureButtons, 0, 2);
    AddFieldRow(lookGrid, 1, QStringLiteral("标签11"), QStringLiteral("图片位置:"), m_placement);
    lookGrid->addWidget(Hint(QStringLiteral("标签10"), QStringLiteral("加入背景图片后会使系统速度减慢"), look), 1, 2);
    lookGrid->setColumnStretch(1, 1);

    // System.
    auto *system = new QGroupBox(QStringLiteral(" 系统设置 "), this);
    system->setObjectName(QStringLiteral("分组框_系统设置"));
    m_prefix = new QLineEdit(system);
    m_prefix->setObjectName(QStringLiteral("编辑框_合同编号"));
    m_logLimit = new QComboBox(system);
    m_logLimit->setObjectName(QStringLiteral("组合框_日志数"));
    m_logLimit->addItems({QStringLiteral("5万条"), QStringLiteral("8万条")});
    m_logLimit->installEventFilter(this);
    m_printTitle = new QLineEdit(system);
    m_printTitle->setObjectName(QStringLiteral("编辑框_打印标题"));

    auto *systemGrid = new QGridLayout(system);
    AddFieldRow(systemGrid, 0, QStringLiteral("标签17"), QStringLiteral("合同编号："), m_prefix);
    systemGrid->addWidget(Hint(QStringLiteral("标签14"), QStringLiteral("合同开头编码不能为空"), system), 0, 2);
    AddFieldRow(systemGrid, 1, QStringLiteral("标签3"), QStringLiteral("日志条数："), m_logLimit);
    systemGrid->addWidget(Hint(QStringLiteral("标签4"), QStringLiteral("超过十万条系统停止使用（需清理）"), system), 1, 2);
    AddFieldRow(systemGrid, 2, QStringLiteral("标签6"), QStringLiteral("打印标题："), m_printTitle);
    systemGrid->addWidget(Hint(QStringLiteral("标签7"), QStringLiteral("打印标题不能为空"), system), 2, 2);
    // Backups of the embedded database on this workstation.
    m_keepBackups = new QSpinBox(system);
    m_keepBackups->setObjectName(QStringLiteral("数字框_备份保留数"));
    m_keepBackups->setRange(0, 9999);
    AddFieldRow(systemGrid, 3, QStringLiteral("标签_备份保留数"), QStringLiteral("备份保留份数："), m_keepBackups);
    systemGrid->addWidget(Hint(QStringLiteral("标签_备份说明"), QStringLiteral("每天第一次登录时自动备份，0 为不自动备份"), system),
                          3, 2);
    // Expiry reminders after login on this workstation.
    m_reminderDays = new QSpinBox(system);
    m_reminderDays->setObjectName(QStringLiteral("数字框_提醒天数"));
    m_reminderDays->setRange(0, ReminderSettings::kMaxDays);
    AddFieldRow(systemGrid, 4, QStringLiteral("标签_提醒天数"), QStringLiteral("到期提醒天数："), m_reminderDays);
    systemGrid->addWidget(Hint(QStringLiteral("标签_提醒说明"), QStringLiteral("登录时提醒多少天内到期的合同，0 为不提醒"), system),
                          4, 2);
    systemGrid->setColumnStretch(1, 1);

    // Buttons.
    m_defaults = new QPushButton(QStringLiteral("&M.恢复默认设置"), this);
    m_defaults->setObjectName(QStringLiteral("按钮_默认"));
    m_save = new QPushButton(QStringLiteral("&S.保存"), this);
    m_save->setObjectName(QStringLiteral("按钮_保存"));
    m_close = new QPushButton(QStringLiteral("&C.关闭"), this);
    m_close->setObjectName(QStringLiteral("按钮_关闭"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_defaults);
    buttons->addStretch();
    buttons->addWidget(m_save);
    buttons->addWidget(m_close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(look);
    layout->addWidget(system);
    layout->addLayout(buttons);
    setMinimumWidth(520);

    connect(m_browse, &QPushButton::clicked, this, &SystemConfigWindow::browse);
    connect(m_clear, &QPushButton::clicked, this, &SystemConfigWindow::clearPicture);
    connect(m_placement, &QComboBox::currentIndexChanged, this, &SystemConfigWindow::placementChosen);
    connect(m_defaults, &QPushButton::clicked, this, &SystemConfigWindow::restoreDefaults);
    connect(m_save, &QPushButton::clicked, this, &SystemConfigWindow::save);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);

    load();
    logOpened();
}

void SystemConfigWindow::load()
{
    const SystemConfig::Snapshot s = SystemConfig::load();
    m_prefix->setText(s.prefix);
    m_path->setPlainText(s.pictureStatus);
    {
        // Showing the stored placement is not a choice of the user.
        const QSignalBlocker block(m_placement);
        m_placement->setCurrentIndex(m_placement->findText(s.placement, Qt::MatchExactly));
    }
    m_logLimit->setCurrentIndex(s.logLimitIndex);
    m_adminFields = s.adminFieldsEditable;
    m_printTitle->setText(s.printTitle);
    m_keepBackups->setValue(BackupSettings::keep());
    m_reminderDays->setValue(ReminderSettings::days());
    // Only the embedded database is backed up by the program; its number is
    // the administrator's.
    m_keepBackups->setEnabled(m_adminFields && Ctx().db().backend() == Backend::Sqlite);
    if (!m_adminFields) {
        m_prefix->setEnabled(false);
        m_logLimit->setEnabled(false);
    }
}

bool SystemConfigWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The log limit is the administrator's alone, whatever a permission gate
    // grants: a gate that enables the combo for another user is undone.
    if (watched == m_logLimit && event->type() == QEvent::EnabledChange && !m_adminFields
        && m_logLimit->isEnabled())
        m_logLimit->setEnabled(false);
    return ChildWindow::eventFilter(watched, event);
}

void SystemConfigWindow::browse()
{
    const QString path = FileDialogs::openFile(this, QStringLiteral("选择背景图片"),
                                               QStringLiteral("图片文件 (*.bmp *.jpg)"));
    if (path.isEmpty())
        return;
    if (!SystemConfig::takePicture(path)) {
        // The picture could not be read or stored: the earlier one stays.
        ShowMessage(QStringLiteral("保存失败！"), QString(), MsgIcon::Error, this);
        return;
    }
    m_path->setPlainText(SystemConfig::kTakesEffect);
    Log(QStringLiteral("浏览背景图片"));
}

void SystemConfigWindow::clearPicture()
{
    m_path->setPlainText(SystemConfig::clearPicture());
    Log(QStringLiteral("清除背景图片"));
}

void SystemConfigWindow::placementChosen()
{
    if (!SystemConfig::savePlacement(m_placement->currentText())) {
        ShowMessage(QStringLiteral("保存失败！"), QString(), MsgIcon::Error, this);
        Log(QStringLiteral("调整背景图片位置"));
    }
}

void SystemConfigWindow::restoreDefaults()
{
    if (m_adminFields)
        m_logLimit->setCurrentIndex(0);
    if (m_keepBackups->isEnabled())
        m_keepBackups->setValue(BackupSettings::kDefaultKeep);
    m_reminderDays->setValue(ReminderSettings::kDefaultDays);
    {
        const QSignalBlocker block(m_placement);
        m_placement->setCurrentIndex(1);
    }
    SystemConfig::restoreDefaultPicture();
    m_path->setPlainText(SystemConfig::kTakesEffect);
    Log(QStringLiteral("点击系统默认设置按钮"));
}

void SystemConfigWindow::save()
{
    bool saved =
        SystemConfig::saveAccountSetSettings(m_prefix->text(), m_path->toPlainText(), m_logLimit->currentIndex());
    if (saved && m_keepBackups->isEnabled())
        saved = BackupSettings::setKeep(m_keepBackups->value());
    if (saved)
        saved = ReminderSettings::setDays(m_reminderDays->value());
    // The heading of printed pages on this workstation; left empty, the
    // program's title.
    if (saved)
        saved = PrintSettings::setTitle(m_printTitle->text());
    if (saved) {
        if (auto *main = qobject_cast<MainWindow *>(MainWindowWidget()))
            main->reloadBackground();
        ShowMessage(QStringLiteral("保存成功！"), QString(), MsgIcon::Information, this);
        Log(QStringLiteral("保存系统配置"));
    } else {
        ShowMessage(QStringLiteral("保存失败！"), QString(), MsgIcon::Error, this);
    }
    close();
}

} // namespace cg
