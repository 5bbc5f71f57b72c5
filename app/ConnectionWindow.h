#pragma once
#include "ui/ConnectionFields.h"
#include <QWidget>

class QLineEdit;
class QPushButton;

namespace cg {

// The note under the fields: which server address selects which database.
inline const QString kServerAddressHint = QStringLiteral(
    "服务器地址：sqlite 为本机内置数据库（数据库名称即文件名）；"
    "postgresql://主机[:端口] 为 PostgreSQL 服务器（默认端口 5432）；"
    "其他地址为 SQL Server 服务器。");

// "砚禾澄屿合同管理系统--数据库连接设置": reads the four stored connection
// values, connects on its own when all are present, and otherwise (or when
// connecting fails) waits for the user.
class ConnectionWindow : public QWidget {
    Q_OBJECT
public:
    explicit ConnectionWindow(QWidget *owner = nullptr);

    // Load settings, then connect at once when all four values are present,
    // else show the window. forceShow keeps the window up (start switch).
    void loadAndDecide(bool forceShow = false);
    void connectNow();

Q_SIGNALS:
    void connected();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    ConnectionFields m_fields;
    QLineEdit *m_server, *m_database, *m_login, *m_password;
    QPushButton *m_connect, *m_cancel;
    bool m_done = false;
};

} // namespace cg
