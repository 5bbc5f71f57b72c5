#include "ui/ConnectionFields.h"
#include "ui/Seams.h"
#include "ui/Shell.h"

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace cg {

ConnectionFields AddConnectionFields(QWidget *parent, const QString &hint)
{
    ConnectionFields f;
    auto edit = [parent](const char16_t *name) {
        auto *e = new QLineEdit(parent);
        e->setObjectName(QString::fromUtf16(name));
        return e;
    };
    f.server = edit(u"编辑框_服务器地址");
    f.database = edit(u"编辑框_数据库名称");
    f.login = edit(u"编辑框_用户名");
    f.password = edit(u"编辑框_密码");
    f.password->setEchoMode(QLineEdit::Password);

    f.frame = new QFrame(parent);
    f.frame->setObjectName(QStringLiteral("外形框1"));
    f.frame->setFrameShape(QFrame::StyledPanel);
    auto *grid = new QGridLayout(f.frame);
    AddFieldRow(grid, 0, QStringLiteral("标签_地址"), QStringLiteral("服务器地址："), f.server);
    AddFieldRow(grid, 1, QStringLiteral("标签_名称"), QStringLiteral("数据库名称："), f.database);
    AddFieldRow(grid, 2, QStringLiteral("标签_用户名"), QStringLiteral("用  户  名："), f.login);
    AddFieldRow(grid, 3, QStringLiteral("标签_密码"), QStringLiteral("密      码："), f.password);
    auto *note = new QLabel(hint, f.frame);
    note->setObjectName(QStringLiteral("标签_地址说明"));
    note->setWordWrap(true);
    note->setEnabled(false);   // drawn greyed, as a note
    grid->addWidget(note, 4, 0, 1, 2);
    return f;
}

bool ConnectionFields::complete(QWidget *owner, bool focusEmpty) const
{
    const struct {
        QLineEdit *edit;
        const char16_t *message;
    } checks[] = {{server, u"请输入服务器地址！"},
                  {database, u"请输入数据库名称！"},
                  {login, u"请输入用户名！"},
                  {password, u"请输入密码！"}};
    for (const auto &c : checks) {
        if (c.edit->text().isEmpty()) {
            ShowMessage(QString::fromUtf16(c.message), QString(), MsgIcon::Information, owner);
            if (focusEmpty)
                c.edit->setFocus();
            return false;
        }
    }
    return true;
}

} // namespace cg
