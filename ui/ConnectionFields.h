#pragma once
// The four values of a database connection as the connection window and
// the promotion window ask for them.

#include <QString>

class QFrame;
class QLineEdit;
class QWidget;

namespace cg {

struct ConnectionFields {
    QLineEdit *server = nullptr;     // 编辑框_服务器地址
    QLineEdit *database = nullptr;   // 编辑框_数据库名称
    QLineEdit *login = nullptr;      // 编辑框_用户名
    QLineEdit *password = nullptr;   // 编辑框_密码, shown as dots
    QFrame *frame = nullptr;         // 外形框1, holding them

    // False, after telling the user which, when a value is empty (the
    // first in the order above); focusEmpty then puts the cursor there.
    bool complete(QWidget *owner, bool focusEmpty) const;
};

// The fields in a frame of parent, each with its label as buddy, and the
// greyed note hint (标签_地址说明) under them.
ConnectionFields AddConnectionFields(QWidget *parent, const QString &hint);

} // namespace cg
