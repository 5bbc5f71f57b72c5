#pragma once
#include "app/Login.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace cg {

// "砚禾澄屿合同管理系统--用户登录": user, password and account set; three tries.
class LoginWindow : public QWidget {
    Q_OBJECT
public:
    explicit LoginWindow(QWidget *parent = nullptr);
    void logIn();
    void cancel();
    int remainingAttempts() const { return m_flow.remaining(); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void prepare();
    void succeed();

    QComboBox *m_user;
    QLineEdit *m_password;
    QComboBox *m_set;
    QPushButton *m_login, *m_cancel;
    LoginFlow m_flow;
    bool m_finished = false;
};

// A new login window, centred, in front and active; it deletes itself when closed.
LoginWindow *ShowLoginWindow();

} // namespace cg
