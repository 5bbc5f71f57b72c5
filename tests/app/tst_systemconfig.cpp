#include "app/MainWindow.h"
#include "ui/Shell.h"
#include "app/Startup.h"
#include "app/SystemConfigWindow.h"
#include "data/Permissions.h"
#include "ui/Gates.h"
#include "ui/Printing.h"
#include "support/TestEnv.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTextEdit>
#include <QtTest>

using namespace cg;

namespace {

const QString kLayout = QStringLiteral("界面布局");
const QString kPicture = QStringLiteral("背景图片");
const QString kPlacement = QStringLiteral("图片位置");
const QString kOpened = QStringLiteral("开始|打开系统配置窗口|系统配置");
const QString kClosed = QStringLiteral("结束|关闭系统配置窗口|系统配置");

// The program's own world: main window, registered window, opened the way
// the menu opens it.
struct Fixture {
    cgtest::TestEnv env;
    MainWindow *main = nullptr;

    explicit Fixture(const QString &user = QStringLiteral("admin"))
    {
        env.loginAs(user);
        main = new MainWindow;
        Windows::registerFactory(WindowKey::SystemConfig, CreateSystemConfigWindow);
    }
    // The main window takes its owned windows with it.
    ~Fixture() { delete main; }
    QString accountSet() const { return Ctx().login.accountSetName; }
    void setZtb(const QString &column, const QVariant &value)
    {
        // column: a fixed name from the tests below
        QVERIFY(env.db().execute(QStringLiteral("update ztb set ") + column + QStringLiteral("=? where 账套名=?"),
                                 {value, accountSet()}));
    }
    QStringList ztb()
    {
        return env.rows(QStringLiteral("select 合同编号,日志数 from ztb where 账套名=?"), {accountSet()}).value(0);
    }
    QWidget *open()
    {
        // A window closed earlier is gone before the menu opens a new one.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QWidget *w = Windows::open(WindowKey::SystemConfig);
        if (!w)
            qFatal("system configuration window not built");
        return w;
    }
    QByteArray pictureFile()
    {
        QFile f(Ctx().backgroundPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString writePicture(const QString &name, const QColor &colour)
    {
        QImage img(16, 8, QImage::Format_RGB32);
        img.fill(colour);
        const QString path = env.folder() + QLatin1Char('/') + name;
        img.save(path, "JPG");
        return path;
    }
};

template <typename T> T *child(QWidget *w, const QString &name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        qFatal("missing control %s", qPrintable(name));
    return c;
}
QPushButton *button(QWidget *w, const QString &name) { return child<QPushButton>(w, name); }
QComboBox *combo(QWidget *w, const QString &name) { return child<QComboBox>(w, name); }
QString pathBox(QWidget *w) { return child<QTextEdit>(w, QStringLiteral("编辑框_背景路径"))->toPlainText(); }

void expectLastMessage(const QString &text, MsgIcon icon, QWidget *owner)
{
    QVERIFY(!MessageSeam::shown().isEmpty());
    const ShownMessage m = MessageSeam::shown().last();
    QCOMPARE(m.text, text);
    QCOMPARE(m.title, QStringLiteral("系统提示"));
    QCOMPARE(int(m.icon), int(icon));
    QCOMPARE(m.owner, owner);
}

} // namespace

class TstSystemConfig : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void adminSeesStoredValues();
    void otherUserCannotEditPrefixOrLimit();
    void unusualLimitIsLeftAlone();
    void browseReplacesPictureAndSaveShowsIt();
    void browseCancelledOrUnreadable();
    void clearThenSaveLeavesNoPicture();
    void restoreDefaultsThenSave();
    void placementIsWrittenAtOnce();
    void placementWriteFailure();
    void saveFailures();
    void pathBoxNamingFileIsCopied();
    void closeButtonLogsOnce();
    void printTitleIsStoredOnSave();
};

void TstSystemConfig::adminSeesStoredValues()
{
    Fixture fx;
    Settings::write(kLayout, kPicture, QStringLiteral("背景图片加载成功"));
    Settings::write(kLayout, kPlacement, QStringLiteral("图片居中"));
    fx.setZtb(QStringLiteral("日志数"), 80000);
    Ctx().login.contractPrefix = QStringLiteral("CG2024");
    QWidget *w = fx.open();

    QCOMPARE(w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--系统配置"));
    QCOMPARE(pathBox(w), QStringLiteral("背景图片加载成功"));
    auto *prefix = child<QLineEdit>(w, QStringLiteral("编辑框_合同编号"));
    QCOMPARE(prefix->text(), QStringLiteral("CG2024"));
    QVERIFY(prefix->isEnabled());
    QComboBox *placement = combo(w, QStringLiteral("组合框_图片位置"));
    QCOMPARE(placement->count(), 3);
    QCOMPARE(placement->itemText(0), QStringLiteral("图片左上"));
    QCOMPARE(placement->itemText(1), QStringLiteral("图片平铺"));
    QCOMPARE(placement->itemText(2), QStringLiteral("图片居中"));
    QCOMPARE(placement->currentText(), QStringLiteral("图片居中"));
    QComboBox *limit = combo(w, QStringLiteral("组合框_日志数"));
    QCOMPARE(limit->itemText(0), QStringLiteral("5万条"));
    QCOMPARE(limit->itemText(1), QStringLiteral("8万条"));
    QCOMPARE(limit->currentIndex(), 1);
    QVERIFY(limit->isEnabled());

    // Captions, and every field named by its label.
    QCOMPARE(button(w, QStringLiteral("按钮_浏览"))->text(), QStringLiteral("浏览..."));
    QCOMPARE(button(w, QStringLiteral("按钮_清除"))->text(), QStringLiteral("清除"));
    QCOMPARE(button(w, QStringLiteral("按钮_默认"))->text(), QStringLiteral("&M.恢复默认设置"));
    QCOMPARE(button(w, QStringLiteral("按钮_保存"))->text(), QStringLiteral("&S.保存"));
    QCOMPARE(button(w, QStringLiteral("按钮_关闭"))->text(), QStringLiteral("&C.关闭"));
    const QList<QPair<QString, QString>> labels = {
        {QStringLiteral("标签5"), QStringLiteral("背景图片:")},
        {QStringLiteral("标签11"), QStringLiteral("图片位置:")},
        {QStringLiteral("标签17"), QStringLiteral("合同编号：")},
        {QStringLiteral("标签3"), QStringLiteral("日志条数：")},
        {QStringLiteral("标签6"), QStringLiteral("打印标题：")}};
    const QStringList buddies = {QStringLiteral("编辑框_背景路径"), QStringLiteral("组合框_图片位置"),
                                 QStringLiteral("编辑框_合同编号"), QStringLiteral("组合框_日志数"),
                                 QStringLiteral("编辑框_打印标题")};
    for (int i = 0; i < labels.size(); ++i) {
        auto *l = child<QLabel>(w, labels[i].first);
        QCOMPARE(l->text(), labels[i].second);
        QVERIFY(l->buddy());
        QCOMPARE(l->buddy()->objectName(), buddies[i]);
    }
    QCOMPARE(child<QLabel>(w, QStringLiteral("标签10"))->text(), QStringLiteral("加入背景图片后会使系统速度减慢"));
    QCOMPARE(child<QLabel>(w, QStringLiteral("标签14"))->text(), QStringLiteral("合同开头编码不能为空"));
    QCOMPARE(child<QLabel>(w, QStringLiteral("标签4"))->text(), QStringLiteral("超过十万条系统停止使用（需清理）"));
    QCOMPARE(child<QLabel>(w, QStringLiteral("标签7"))->text(), QStringLiteral("打印标题不能为空"));

    QCOMPARE(fx.env.logTriples(), QStringList{kOpened});
    QVERIFY(MessageSeam::shown().isEmpty());

    // A missing placement shows "图片平铺" without writing it.
    w->close();
    QSettings(Ctx().settingsPath(), QSettings::IniFormat).remove(kLayout + QStringLiteral("/") + kPlacement);
    QWidget *again = fx.open();
    QCOMPARE(combo(again, QStringLiteral("组合框_图片位置"))->currentText(), QStringLiteral("图片平铺"));
    QCOMPARE(fx.env.setting(kLayout, kPlacement), QString());
}

void TstSystemConfig::otherUserCannotEditPrefixOrLimit()
{
    // Even with the log flag granted, the limit stays the administrator's.
    Fixture fx(QStringLiteral("张三"));
    fx.env.addUser(QStringLiteral("张三"), QStringLiteral("pw"), {QStringLiteral("日志")});
    ApplyPermissions();
    fx.setZtb(QStringLiteral("日志数"), 80000);
    QWidget *w = fx.open();

    auto *prefix = child<QLineEdit>(w, QStringLiteral("编辑框_合同编号"));
    QCOMPARE(prefix->text(), QStringLiteral("KQLM"));
    QVERIFY(!prefix->isEnabled());
    QComboBox *limit = combo(w, QStringLiteral("组合框_日志数"));
    QCOMPARE(limit->currentIndex(), 1);
    QVERIFY(!limit->isEnabled());
    Gates::applyTo(w, QStringLiteral("系统配置"));
    QVERIFY(!limit->isEnabled());

    // Restore defaults leaves this user's limit selection alone.
    button(w, QStringLiteral("按钮_默认"))->click();
    QCOMPARE(limit->currentIndex(), 1);
    QCOMPARE(fx.env.setting(kLayout, kPlacement), QStringLiteral("图片平铺"));

    button(w, QStringLiteral("按钮_保存"))->click();
    QCOMPARE(fx.ztb(), (QStringList{QStringLiteral("KQLM"), QStringLiteral("80000")}));
    expectLastMessage(QStringLiteral("保存成功！"), MsgIcon::Information, w);
    const QStringList log = fx.env.logTriples();
    QCOMPARE(log, (QStringList{kOpened, QStringLiteral("操作|点击系统默认设置按钮|系统配置"),
                               QStringLiteral("操作|保存系统配置|系统配置"), kClosed}));
    QCOMPARE(fx.env.rows(QStringLiteral("select distinct 用户 from rzb")).value(0).value(0), QStringLiteral("张三"));
}

void TstSystemConfig::unusualLimitIsLeftAlone()
{
    Fixture fx;
    fx.setZtb(QStringLiteral("日志数"), 60000);
    QPointer<QWidget> w = fx.open();
    QCOMPARE(combo(w, QStringLiteral("组合框_日志数"))->currentIndex(), -1);
    QCOMPARE(combo(w, QStringLiteral("组合框_日志数"))->currentText(), QString());

    // A quote in the prefix is stored as typed.
    child<QLineEdit>(w, QStringLiteral("编辑框_合同编号"))->setText(QStringLiteral("O'Neil-"));
    button(w, QStringLiteral("按钮_保存"))->click();
    QCOMPARE(fx.ztb(), (QStringList{QStringLiteral("O'Neil-"), QStringLiteral("60000")}));
    QCOMPARE(Ctx().login.contractPrefix, QStringLiteral("O'Neil-"));
    QCOMPARE(cgtest::messageTexts(), QStringList{QStringLiteral("保存成功！")});
    QVERIFY(!w || !w->isVisible());
    QCOMPARE(fx.env.logTriples(), (QStringList{kOpened, QStringLiteral("操作|保存系统配置|系统配置"), kClosed}));

    // An empty prefix is stored as the empty text.
    QWidget *again = fx.open();
    QCOMPARE(child<QLineEdit>(again, QStringLiteral("编辑框_合同编号"))->text(), QStringLiteral("O'Neil-"));
    child<QLineEdit>(again, QStringLiteral("编辑框_合同编号"))->clear();
    combo(again, QStringLiteral("组合框_日志数"))->setCurrentIndex(1);
    button(again, QStringLiteral("按钮_保存"))->click();
    QCOMPARE(fx.ztb(), (QStringList{QString(), QStringLiteral("80000")}));
    QCOMPARE(Ctx().login.contractPrefix, QString());
}

void TstSystemConfig::browseReplacesPictureAndSaveShowsIt()
{
    Fixture fx;
    Settings::write(kLayout, kPicture, QStringLiteral("背景图片未加载"));
    QVERIFY(!fx.main->background()->hasPicture());
    const QString chosen = fx.writePicture(QStringLiteral("蓝.jpg"), Qt::blue);
    QFile src(chosen);
    QVERIFY(src.open(QIODevice::ReadOnly));
    const QByteArray bytes = src.readAll();
    QWidget *w = fx.open();

    FileDialogs::setNextPath(chosen);
    button(w, QStringLiteral("按钮_浏览"))->click();
    QCOMPARE(FileDialogs::captions().value(0), QStringLiteral("选择背景图片"));
    QCOMPARE(pathBox(w), QStringLiteral("保存并立即生效"));
    QCOMPARE(fx.pictureFile(), bytes);
    QCOMPARE(fx.env.setting(kLayout, kPicture), QStringLiteral("背景图片加载成功"));
    QVERIFY(!fx.main->background()->hasPicture());   // only after Save
    QCOMPARE(fx.env.logTriples().value(1), QStringLiteral("操作|浏览背景图片|系统配置"));

    button(w, QStringLiteral("按钮_保存"))->click();
    QVERIFY(fx.main->background()->hasPicture());
    QCOMPARE(fx.ztb().value(1), QStringLiteral("50000"));
    QVERIFY(MessageSeam::shown().size() == 1);
}

void TstSystemConfig::browseCancelledOrUnreadable()
{
    Fixture fx;
    {
        QFile f(Ctx().backgroundPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("earlier");
    }
    Settings::write(kLayout, kPicture, QStringLiteral("已加载默认背景图片"));
    QWidget *w = fx.open();

    // Cancelled: nothing happens.
    button(w, QStringLiteral("按钮_浏览"))->click();
    QCOMPARE(pathBox(w), QStringLiteral("已加载默认背景图片"));
    QVERIFY(MessageSeam::shown().isEmpty());

    // A file that cannot be read keeps the earlier picture and says so.
    FileDialogs::setNextPath(fx.env.folder() + QStringLiteral("/不存在.jpg"));
    button(w, QStringLiteral("按钮_浏览"))->click();
    expectLastMessage(QStringLiteral("保存失败！"), MsgIcon::Error, w);
    QCOMPARE(fx.pictureFile(), QByteArray("earlier"));
    QCOMPARE(fx.env.setting(kLayout, kPicture), QStringLiteral("已加载默认背景图片"));
    QCOMPARE(pathBox(w), QStringLiteral("已加载默认背景图片"));
    QCOMPARE(fx.env.logTriples(), QStringList{kOpened});
}

void TstSystemConfig::clearThenSaveLeavesNoPicture()
{
    Fixture fx;
    const QString chosen = fx.writePicture(QStringLiteral("red.jpg"), Qt::red);
    QVERIFY(QFile::copy(chosen, Ctx().backgroundPath()));
    fx.main->reloadBackground();
    QVERIFY(fx.main->background()->hasPicture());
    QWidget *w = fx.open();

    button(w, QStringLiteral("按钮_清除"))->click();
    QCOMPARE(pathBox(w), QStringLiteral("背景图片未加载"));
    QCOMPARE(fx.env.setting(kLayout, kPicture), QStringLiteral("背景图片未加载"));
    QVERIFY(!QFile::exists(Ctx().backgroundPath()));
    button(w, QStringLiteral("按钮_保存"))->click();
    QVERIFY(!fx.main->background()->hasPicture());
    QCOMPARE(fx.env.logTriples(), (QStringList{kOpened, QStringLiteral("操作|清除背景图片|系统配置"),
                                               QStringLiteral("操作|保存系统配置|系统配置"), kClosed}));

    // The next start keeps the default picture away.
    QVERIFY(ChooseBackground().picture.isEmpty());
    QCOMPARE(fx.env.setting(kLayout, kPicture), QStringLiteral("背景图片未加载"));
}

void TstSystemConfig::restoreDefaultsThenSave()
{
    Fixture fx;
    Settings::write(kLayout, kPicture, QStringLiteral("背景图片未加载"));
    Settings::write(kLayout, kPlacement, QStringLiteral("图片居中"));
    fx.setZtb(QStringLiteral("日志数"), 80000);
    fx.setZtb(QStringLiteral("合同编号"), QStringLiteral("HT"));
    Ctx().login.contractPrefix = QStringLiteral("HT");
    QWidget *w = fx.open();
    auto *prefix = child<QLineEdit>(w, QStringLiteral("编辑框_合同编号"));
    prefix->setText(QStringLiteral("HT-2"));

    button(w, QStringLiteral("按钮_默认"))->click();
    QCOMPARE(combo(w, QStringLiteral("组合框_日志数"))->currentIndex(), 0);
    QCOMPARE(combo(w, QStringLiteral("组合框_图片位置"))->currentText(), QStringLiteral("图片平铺"));
    QCOMPARE(fx.env.setting(kLayout, kPlacement), QStringLiteral("图片平铺"));
    QCOMPARE(fx.pictureFile(), DefaultBackgroundPicture());
    QVERIFY(!DefaultBackgroundPicture().isEmpty());
    QCOMPARE(pathBox(w), QStringLiteral("保存并立即生效"));
    QCOMPARE(prefix->text(), QStringLiteral("HT-2"));
    QCOMPARE(fx.env.setting(kLayout, kPicture), QStringLiteral("背景图片未加载"));
    QCOMPARE(fx.env.logTriples(), (QStringList{kOpened, QStringLiteral("操作|点击系统默认设置按钮|系统配置")}));
    QCOMPARE(fx.ztb(), (QStringList{QStringLiteral("HT"), QStringLiteral("80000")}));   // not before Save

    button(w, QStringLiteral("按钮_保存"))->click();
    QCOMPARE(fx.ztb(), (QStringList{QStringLiteral("HT-2"), QStringLiteral("50000")}));
    QVERIFY(fx.main->background()->hasPicture());
    expectLastMessage(QStringLiteral("保存成功！"), MsgIcon::Information, w);
}

void TstSystemConfig::placementIsWrittenAtOnce()
{
    Fixture fx;
    Settings::write(kLayout, kPlacement, QStringLiteral("图片平铺"));
    fx.main->background()->setPlacement(PicturePlacement::Tiled);
    QWidget *w = fx.open();
    combo(w, QStringLiteral("组合框_图片位置"))->setCurrentIndex(2);
    QCOMPARE(fx.env.setting(kLayout, kPlacement), QStringLiteral("图片居中"));
    combo(w, QStringLiteral("组合框_图片位置"))->setCurrentIndex(0);
    QCOMPARE(fx.env.setting(kLayout, kPlacement), QStringLiteral("图片左上"));
    // The main window changes only at the next start; no log entry, no box.
    QCOMPARE(int(fx.main->background()->placement()), int(PicturePlacement::Tiled));
    QCOMPARE(fx.env.logTriples(), QStringList{kOpened});
    QVERIFY(MessageSeam::shown().isEmpty());
}

void TstSystemConfig::placementWriteFailure()
{
    Fixture fx;
    QWidget *w = fx.open();
    // A folder where the settings file should be: nothing can be written.
    QFile::remove(Ctx().settingsPath());
    QVERIFY(QDir().mkpath(Ctx().settingsPath()));
    combo(w, QStringLiteral("组合框_图片位置"))->setCurrentIndex(2);
    expectLastMessage(QStringLiteral("保存失败！"), MsgIcon::Error, w);
    QCOMPARE(fx.env.logTriples(), (QStringList{kOpened, QStringLiteral("操作|调整背景图片位置|系统配置")}));
}

void TstSystemConfig::saveFailures()
{
    // The account set's row is gone: nothing is stored, and the user is told.
    {
        Fixture fx;
        const QString chosen = fx.writePicture(QStringLiteral("p.jpg"), Qt::green);
        QWidget *w = fx.open();
        QVERIFY(fx.env.db().execute(QStringLiteral("delete from ztb where 账套名=?"), {fx.accountSet()}));
        child<QTextEdit>(w, QStringLiteral("编辑框_背景路径"))->setPlainText(chosen);
        child<QLineEdit>(w, QStringLiteral("编辑框_合同编号"))->setText(QStringLiteral("NEW"));
        button(w, QStringLiteral("按钮_保存"))->click();
        expectLastMessage(QStringLiteral("保存失败！"), MsgIcon::Error, w);
        QCOMPARE(Ctx().login.contractPrefix, QStringLiteral("NEW"));
        QVERIFY(!QFile::exists(Ctx().backgroundPath()));
        QCOMPARE(fx.env.logTriples(), (QStringList{kOpened, kClosed}));
    }
    // The statement itself fails.
    {
        Fixture fx;
        QPointer<QWidget> w = fx.open();
        QVERIFY(fx.env.db().execute(QStringLiteral("drop table ztb")));
        button(w, QStringLiteral("按钮_保存"))->click();
        QCOMPARE(cgtest::messageTexts(), QStringList{QStringLiteral("保存失败！")});
        QVERIFY(!w || !w->isVisible());
        QCOMPARE(fx.env.logTriples(), (QStringList{kOpened, kClosed}));
    }
}

void TstSystemConfig::pathBoxNamingFileIsCopied()
{
    Fixture fx;
    const QString chosen = fx.writePicture(QStringLiteral("typed.jpg"), Qt::yellow);
    QFile src(chosen);
    QVERIFY(src.open(QIODevice::ReadOnly));
    QWidget *w = fx.open();
    child<QTextEdit>(w, QStringLiteral("编辑框_背景路径"))->setPlainText(chosen);
    button(w, QStringLiteral("按钮_保存"))->click();
    QCOMPARE(fx.pictureFile(), src.readAll());
    QVERIFY(fx.main->background()->hasPicture());

    // The picture file itself named in the box stays as it is.
    QWidget *again = fx.open();
    child<QTextEdit>(again, QStringLiteral("编辑框_背景路径"))->setPlainText(Ctx().backgroundPath());
    button(again, QStringLiteral("按钮_保存"))->click();
    QVERIFY(!fx.pictureFile().isEmpty());
    QCOMPARE(fx.pictureFile().size(), src.size());
}

void TstSystemConfig::closeButtonLogsOnce()
{
    Fixture fx;
    QPointer<QWidget> w = fx.open();
    button(w, QStringLiteral("按钮_关闭"))->click();
    QVERIFY(!w || !w->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!w);
    QCOMPARE(fx.env.logTriples(), (QStringList{kOpened, kClosed}));
    QVERIFY(MessageSeam::shown().isEmpty());
}

void TstSystemConfig::printTitleIsStoredOnSave()
{
    Fixture fx(QStringLiteral("张三"));
    fx.env.addUser(QStringLiteral("张三"), QStringLiteral("pw"), {});
    ApplyPermissions();
    const QString section = QStringLiteral("打印"), key = QStringLiteral("打印标题");
    // Nothing stored: the box shows the program's title, which heads the pages.
    QWidget *w = fx.open();
    auto *title = child<QLineEdit>(w, QStringLiteral("编辑框_打印标题"));
    QCOMPARE(title->text(), QStringLiteral("砚禾澄屿合同管理系统"));
    QVERIFY(title->isEnabled());
    QCOMPARE(child<QLabel>(w, QStringLiteral("标签6"))->buddy(), title);
    title->setText(QStringLiteral("砚禾澄屿 采购部"));
    QCOMPARE(fx.env.setting(section, key), QString());
    button(w, QStringLiteral("按钮_保存"))->click();
    QCOMPARE(fx.env.setting(section, key), QStringLiteral("砚禾澄屿 采购部"));
    QCOMPARE(PrintSettings::title(), QStringLiteral("砚禾澄屿 采购部"));

    // Reopened it shows what was stored; emptied, the program's title again.
    w = fx.open();
    title = child<QLineEdit>(w, QStringLiteral("编辑框_打印标题"));
    QCOMPARE(title->text(), QStringLiteral("砚禾澄屿 采购部"));
    title->clear();
    button(w, QStringLiteral("按钮_保存"))->click();
    QCOMPARE(fx.env.setting(section, key), QString());
    QCOMPARE(PrintSettings::title(), QStringLiteral("砚禾澄屿合同管理系统"));
    QCOMPARE(child<QLineEdit>(fx.open(), QStringLiteral("编辑框_打印标题"))->text(),
             QStringLiteral("砚禾澄屿合同管理系统"));

    // A save that fails stores no title either; closing stores nothing.
    w = fx.open();
    child<QLineEdit>(w, QStringLiteral("编辑框_打印标题"))->setText(QStringLiteral("新标题"));
    QVERIFY(fx.env.db().execute(QStringLiteral("delete from ztb where 账套名=?"), {fx.accountSet()}));
    button(w, QStringLiteral("按钮_保存"))->click();
    expectLastMessage(QStringLiteral("保存失败！"), MsgIcon::Error, w);
    w = fx.open();
    child<QLineEdit>(w, QStringLiteral("编辑框_打印标题"))->setText(QStringLiteral("新标题"));
    button(w, QStringLiteral("按钮_关闭"))->click();
    QCOMPARE(PrintSettings::storedTitle(), QString());
}

QTEST_MAIN(TstSystemConfig)
#include "tst_systemconfig.moc"
