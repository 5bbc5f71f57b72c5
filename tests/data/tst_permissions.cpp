// Permission flags and the gates they set on windows opened later.
#include "ui/Shell.h"
#include "data/Permissions.h"
#include "ui/Gates.h"
#include "data/Schema.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

using namespace cg;

class TstPermissions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void flagIsGrantedOnlyByOne();
    void gatesReachWindowsOpenedLater();
    void eachFlagGatesItsControls();
};

void TstPermissions::flagIsGrantedOnlyByOne()
{
    cgtest::TestEnv env;
    env.addUser(QStringLiteral("clerk"), QStringLiteral("pw"), {QStringLiteral("审核")});
    QVERIFY(env.db().execute(QStringLiteral("update yhb set 反审='2', 变更=NULL, 修改='' where 用户名='clerk'")));
    env.loginAs(QStringLiteral("clerk"));
    QVERIFY(HasPermission(QStringLiteral("审核")));
    QVERIFY(!HasPermission(QStringLiteral("反审")));
    QVERIFY(!HasPermission(QStringLiteral("变更")));
    QVERIFY(!HasPermission(QStringLiteral("修改")));
    QVERIFY(!HasPermission(QStringLiteral("删除")));
    // Asked afresh every time.
    QVERIFY(env.db().execute(QStringLiteral("update yhb set 删除='1' where 用户名='clerk'")));
    QVERIFY(HasPermission(QStringLiteral("删除")));
    // Names are compared exactly: "Admin" is nobody here.
    env.loginAs(QStringLiteral("Admin"));
    QVERIFY(!HasPermission(QStringLiteral("审核")));
    QVERIFY(!env.ctx().login.isAdmin());
    env.loginAs(QStringLiteral("admin"));
    QVERIFY(HasPermission(QStringLiteral("审核")));
    QVERIFY(!HasPermission(QStringLiteral("默认用户")));
}

namespace {
// Stands in for the contract query window built later.
QWidget *fakeContractQuery(QWidget *owner)
{
    auto *w = new QWidget(owner, Qt::Window);
    auto *menu = new QMenu(w);
    for (const char *caption : {"&H.审 核", "&F.反 审", "&B.变 更", "&X.修 改", "&D.删除整份合同"})
        menu->addAction(QString::fromUtf8(caption))->setObjectName(QString::fromUtf8(caption));
    auto *exportButton = new QPushButton(QStringLiteral("导出"), w);
    exportButton->setObjectName(QStringLiteral("按钮_导出"));
    return w;
}
QAction *action(QWidget *w, const char *caption)
{
    for (QAction *a : w->findChildren<QAction *>())
        if (a->text() == QString::fromUtf8(caption))
            return a;
    return nullptr;
}
} // namespace

void TstPermissions::gatesReachWindowsOpenedLater()
{
    cgtest::TestEnv env;
    env.addUser(QStringLiteral("clerk"), QStringLiteral("pw"), {QStringLiteral("审核"), QStringLiteral("删除")});
    env.loginAs(QStringLiteral("clerk"));
    ApplyPermissions();
    Windows::registerFactory(WindowKey::ContractQuery, fakeContractQuery);
    QWidget *w = Windows::open(WindowKey::ContractQuery);
    QVERIFY(w);
    QVERIFY(action(w, "&H.审 核")->isEnabled());
    QVERIFY(!action(w, "&F.反 审")->isEnabled());
    QVERIFY(!action(w, "&B.变 更")->isEnabled());
    QVERIFY(!action(w, "&X.修 改")->isEnabled());
    QVERIFY(action(w, "&D.删除整份合同")->isEnabled());
    QVERIFY(!w->findChild<QPushButton *>(QStringLiteral("按钮_导出"))->isEnabled());
    // Changed flags count from the next login only.
    QVERIFY(env.db().execute(QStringLiteral("update yhb set 导出='1' where 用户名='clerk'")));
    w->close();
    QWidget *again = Windows::open(WindowKey::ContractQuery);
    QVERIFY(again != w);
    QVERIFY(!again->findChild<QPushButton *>(QStringLiteral("按钮_导出"))->isEnabled());
}

void TstPermissions::eachFlagGatesItsControls()
{
    // A user with every flag still never sees the account-set entry.
    cgtest::TestEnv env;
    env.addUser(QStringLiteral("boss"), QStringLiteral("pw"), Schema::permissionFlags());
    env.loginAs(QStringLiteral("boss"));
    ApplyPermissions();
    QWidget main;
    main.setObjectName(QStringLiteral("启动窗口"));
    auto *menu = new QMenu(&main);
    QAction *sets = menu->addAction(QStringLiteral("&T.帐套管理"));
    sets->setObjectName(sets->text());
    QAction *entry = menu->addAction(QStringLiteral("&T.合同录入"));
    entry->setObjectName(entry->text());
    Gates::applyTo(&main, Gates::kMain);
    QVERIFY(!sets->isVisible());
    QVERIFY(entry->isEnabled());
}

QTEST_MAIN(TstPermissions)
#include "tst_permissions.moc"
