#pragma once
#include "ui/ConnectionFields.h"
// "砚禾澄屿合同管理系统--迁移到共享服务器": moves the embedded database onto a
// shared PostgreSQL or SQL Server database and switches this workstation
// over once the copy is verified.

#include "data/DatabaseCopy.h"
#include "ui/Shell.h"

#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace cg {
class ProgressWindow;

inline const QString kPromotionWindowKey = QStringLiteral("迁移到共享服务器");
inline const QString kPromotionModule = QStringLiteral("迁移到共享服务器");

// What the switch-over needs from the program: leave() closes every other
// window and ends the session (false: a window cannot close now);
// saveConnection() writes the four values to cgsys.dll; relogin() shows the
// login window on the database now connected.
struct PromotionHooks {
    std::function<bool()> leave;
    std::function<bool(const QString &, const QString &, const QString &, const QString &)> saveConnection;
    std::function<void()> relogin;
};
void SetPromotionHooks(PromotionHooks hooks);

QWidget *CreatePromotionWindow(QWidget *owner);

// The name the embedded file gets once its data lives on the server:
// "cgsys.db" becomes "cgsys.db.已迁移-20350520" (a number follows when that
// name is taken).
QString RetiredDatabaseName(const QString &path, const QDate &day);

class PromotionWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit PromotionWindow(QWidget *owner = nullptr);
    ~PromotionWindow() override;

    void start();
    void cancel();
    bool isBusy() const { return m_busy; }

Q_SIGNALS:
    // The copy ended (whatever its outcome) and what follows was done.
    void finished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    struct Result;
    void showProgress(const QString &step, const QString &table, qint64 tableDone, qint64 tableTotal, qint64 done,
                      qint64 total);
    void finish(const Result &r);
    void switchOver(const Result &r);
    void setBusy(bool busy);

    ConnectionFields m_fields;
    QLineEdit *m_server, *m_database, *m_login, *m_password;
    QLabel *m_state;
    QPushButton *m_start, *m_cancel, *m_close;
    ProgressWindow *m_progress = nullptr;
    std::shared_ptr<std::atomic_bool> m_cancelFlag;
    bool m_busy = false;
};

} // namespace cg
