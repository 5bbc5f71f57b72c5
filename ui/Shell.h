#pragma once
// Opening, finding and closing the program's windows, and ending the program.

#include <QFont>
#include <QString>
#include <QWidget>
#include <functional>

class QAction;
class QGridLayout;
class QMenu;
class QPushButton;
class QLabel;

namespace cg {

inline const QString kSystemTitle = QStringLiteral("砚禾澄屿合同管理系统");
inline const QString kMainTitle = QStringLiteral("砚禾澄屿合同管理系统 v2.5.2.2");
// "砚禾澄屿合同管理系统--" + name
QString WindowTitle(const QString &name);

// The program's Chinese font at the given point size, on screen and on paper.
QFont ProgramFont(qreal pointSize = 10);

// Window keys under which the menu, the navigation window and the hot keys
// open windows. A window that exists registers a factory under its key.
namespace WindowKey {
inline const QString SystemConfig = QStringLiteral("系统配置");
inline const QString UserManagement = QStringLiteral("用户管理");
inline const QString AccountSets = QStringLiteral("帐套管理");
inline const QString Navigation = QStringLiteral("导航");
inline const QString BasicData = QStringLiteral("基础资料");
inline const QString SupplierEntry = QStringLiteral("供应商录入");
inline const QString ContractEntry = QStringLiteral("合同录入");
inline const QString ContractQuery = QStringLiteral("合同查询");
inline const QString SupplierQuery = QStringLiteral("供应商查询");
inline const QString SystemLog = QStringLiteral("系统日志");
inline const QString Help = QStringLiteral("帮助");
inline const QString UpdateHistory = QStringLiteral("更新记录");
// The 合同 menu's reports.
inline const QString ExpiryReminders = QStringLiteral("合同到期提醒");
inline const QString NumberGaps = QStringLiteral("合同编号缺号");
inline const QString SpendOverview = QStringLiteral("合同金额统计");
}

namespace Windows {
using Factory = std::function<QWidget *(QWidget *owner)>;
void registerFactory(const QString &key, Factory factory);
bool has(const QString &key);
// The open window of that key, or nullptr.
QWidget *find(const QString &key);
// Brings an open window of that key forward, or creates it with the main
// window as owner and shows it. nullptr when no such window exists yet.
QWidget *open(const QString &key);
// Creates the window and runs it modally, without owner; returns when closed.
void openModal(const QString &key);
void clearFactories();
}

// The main window, owner of every other window; set by the main window.
void SetMainWindow(QWidget *window);
QWidget *MainWindowWidget();

// Shows a window non-modally with the main window as its owner.
void OpenChildWindow(QWidget *window, const QString &key = QString());

// A log row that could not be stored is told to the user as "没有写入成功".
void InstallLogFailureMessage();

// Closes both connections, releases the hot keys and ends the program (code 0).
void ShutDownApplication();
// Called by ShutDownApplication before the connections close (hot keys).
void SetShutdownHook(std::function<void()> hook);

// Base of the program's windows: its title, and the log entries "开始" when
// it opens and "结束" when it closes.
class ChildWindow : public QWidget {
    Q_OBJECT
public:
    ChildWindow(const QString &name, const QString &module, const QString &openText,
                const QString &closeText, QWidget *parent = nullptr);
    QString module() const { return m_module; }

protected:
    // Writes the opening entry; the subclass calls it when it is built.
    void logOpened();
    void closeEvent(QCloseEvent *event) override;

private:
    QString m_module, m_openText, m_closeText;
    bool m_closedLogged = false;
};

// A label that names its field: the field is its buddy, so access keys,
// screen readers and automation find the field by the label's text.
QLabel *FieldLabel(const QString &objectName, const QString &text, QWidget *buddy,
                   QWidget *parent = nullptr);

// A labelled field in a form grid: the label in column 0, the field in 1.
void AddFieldRow(QGridLayout *grid, int row, const QString &labelName, const QString &text, QWidget *field);

// A push button with its objectName that Enter in a field does not press.
QPushButton *NamedButton(const QString &objectName, const QString &text, QWidget *parent);
// A menu entry whose objectName is its caption (the gates find it by that).
QAction *NamedMenuAction(QMenu *menu, const QString &caption);

// Places a window in the middle of the screen it is on.
void CentreOnScreen(QWidget *window);

// Result label colours: success green (0,128,0), failure red (255,0,0).
void SetHint(QLabel *label, const QString &text, bool success);

} // namespace cg
