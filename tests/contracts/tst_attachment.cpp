// The attachment window of the change/modify window and the preview.
#include "contracts/AttachmentWindow.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace cg;

namespace {

QPushButton *button(QWidget *w, const char *name)
{
    auto *b = w->findChild<QPushButton *>(QString::fromUtf8(name));
    if (!b)
        qFatal("missing button %s", name);
    return b;
}

void storeContract(cgtest::TestEnv &env, const QString &number, const QVariant &attachment)
{
    for (int line = 1; line <= 2; ++line)
        QVERIFY(env.db().execute(QStringLiteral("insert into htb1(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,"
                                                "产品,设备数量,计量单位,制单日期,生效日期,失效日期,合同金额,付款方式,税率,"
                                                "附件) values('未审核',?,?,'张三','采购部','李四','北方五金','螺丝','1',"
                                                "'个','2024-03-05','2024-03-05','2024-12-31','100','现金','6%',?)"),
                                 {number, LineSubNumber(number, line), line == 1 ? attachment : QVariant()}));
}

QString writeFile(cgtest::TestEnv &env, const QString &name, const QByteArray &bytes)
{
    const QString path = env.folder() + QLatin1Char('/') + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return path;
}

struct Fixture {
    cgtest::TestEnv env;
    PendingAttachment pending;
    QPointer<QWidget> w;

    explicit Fixture(const QVariant &stored)
    {
        env.loginAs(QStringLiteral("admin"));
        storeContract(env, QStringLiteral("KQLM0007"), stored);
        w = CreateAttachmentWindow(nullptr, pending, ContractStore(env.db(), QStringLiteral("htb1"), QString()),
                                   QStringLiteral("KQLM0007"));
        w->show();
    }
    ~Fixture() { delete w.data(); }
};

} // namespace

class TstAttachment : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void buttonsFollowTheStoredAttachment();
    void replacementIsCheckedAndKeptPending();
    void deletionIsConfirmedAndKeptPending();
    void previewShowsTheStoredCopy();
    void entryAsksBeforeReplacingAChoice();
};

void TstAttachment::buttonsFollowTheStoredAttachment()
{
    {
        Fixture f(QByteArray("%PDF-1.4 stored"));
        QCOMPARE(f.w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--附件修改"));
        QVERIFY(button(f.w, "按钮_预览")->isEnabled());
        QVERIFY(button(f.w, "按钮_删除")->isEnabled());
        // Nothing of this window is logged.
        QVERIFY(f.env.logTriples().isEmpty());
    }
    for (const QVariant &none : {QVariant(), QVariant(QByteArray(""))}) {
        Fixture f(none);
        QVERIFY(!button(f.w, "按钮_预览")->isEnabled());
        QVERIFY(!button(f.w, "按钮_删除")->isEnabled());
        QVERIFY(button(f.w, "按钮_修改")->isEnabled());
    }
}

void TstAttachment::replacementIsCheckedAndKeptPending()
{
    Fixture f(QVariant{});
    // Cancelled, then too large: the window stays, nothing is pending.
    button(f.w, "按钮_修改")->click();
    QVERIFY(f.w->isVisible());
    FileDialogs::setNextPath(writeFile(f.env, QStringLiteral("big.pdf"),
                                       QByteArray("%PDF-") + QByteArray(kMaxAttachmentBytes, 'x')));
    button(f.w, "按钮_修改")->click();
    QCOMPARE(cgtest::messageTexts(), QStringList{QStringLiteral("添加的PDF文件不能超过5MB，请将文件转换后再试！")});
    QCOMPARE(MessageSeam::shown().first().icon, MsgIcon::Error);
    QVERIFY(f.w->isVisible());
    QVERIFY(!f.pending.changed());

    FileDialogs::setNextPath(writeFile(f.env, QStringLiteral("new.pdf"), QByteArray("%PDF-1.7 new")));
    button(f.w, "按钮_修改")->click();
    QVERIFY(!f.w || !f.w->isVisible());
    QVERIFY(f.pending.changed());
    QCOMPARE(f.pending.bytes(), QByteArray("%PDF-1.7 new"));
    // The stored copy is untouched until the caller saves.
    QCOMPARE(ContractStore(f.env.db(), QStringLiteral("htb1"), QString()).attachment(QStringLiteral("KQLM0007")),
             QByteArray());
}

void TstAttachment::deletionIsConfirmedAndKeptPending()
{
    Fixture f(QByteArray("%PDF-1.4 stored"));
    f.pending.set(QByteArray("%PDF-chosen earlier"));
    button(f.w, "按钮_删除")->click();
    QCOMPARE(cgtest::messageTexts(), QStringList{QStringLiteral("是否要删除合同附件，删除后无法恢复！")});
    QCOMPARE(MessageSeam::shown().first().icon, MsgIcon::Question);
    QVERIFY(!f.pending.deleted());
    QVERIFY(f.w->isVisible());

    MessageSeam::setNextAnswer(QMessageBox::Yes);
    button(f.w, "按钮_删除")->click();
    QVERIFY(f.pending.deleted());
    QVERIFY(f.pending.isEmpty());
    // The file chosen earlier went with it: only the deletion is pending.
    QVERIFY(!f.pending.changed());
    QVERIFY(!f.w || !f.w->isVisible());
    QCOMPARE(ContractStore(f.env.db(), QStringLiteral("htb1"), QString()).attachment(QStringLiteral("KQLM0007")),
             QByteArray("%PDF-1.4 stored"));
}

void TstAttachment::previewShowsTheStoredCopy()
{
    Fixture f(QByteArray("%PDF-1.4 stored"));
    const QString path = f.env.workFolder() + QStringLiteral("合同PDF预览.pdf");
    QVERIFY(writeFile(f.env, QStringLiteral("wkd/合同PDF预览.pdf"), "an older preview") == path);
    f.pending.set(QByteArray("%PDF-pending replacement"));
    button(f.w, "按钮_预览")->click();
    Attachments::waitForPreviews();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("%PDF-1.4 stored"));
    QCOMPARE(Launcher::started().size(), 1);
    QVERIFY(Launcher::started().first().endsWith(QDir::toNativeSeparators(path)));

    // A contract without a stored copy has nothing to preview.
    ContractStore store(f.env.db(), QStringLiteral("htb1"), QString());
    QVERIFY(!Attachments::preview(store, QStringLiteral("KQLM9999")));
    Attachments::waitForPreviews();
    QCOMPARE(Launcher::started().size(), 1);
}

void TstAttachment::entryAsksBeforeReplacingAChoice()
{
    cgtest::TestEnv env;
    PendingAttachment pending;
    // Nothing chosen yet: no question.
    FileDialogs::setNextPath(writeFile(env, QStringLiteral("a.pdf"), QByteArray("%PDF-a")));
    Attachments::chooseForEntry(nullptr, pending);
    QCOMPARE(MessageSeam::shown().size(), 0);
    QCOMPARE(pending.bytes(), QByteArray("%PDF-a"));

    // The question is a notice with Yes and No; only Yes goes on.
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        MessageSeam::clear();
        MessageSeam::setNextAnswer(answer);
        FileDialogs::setNextPath(writeFile(env, QStringLiteral("b.pdf"), QByteArray("%PDF-b")));
        Attachments::chooseForEntry(nullptr, pending);
        QCOMPARE(cgtest::messageTexts(), QStringList{QStringLiteral("你已经添加过电子档了，是否要修改！")});
        QCOMPARE(MessageSeam::shown().first().icon, MsgIcon::Information);
        QVERIFY(MessageSeam::shown().first().yesNo);
        QCOMPARE(pending.bytes(), answer == QMessageBox::Yes ? QByteArray("%PDF-b") : QByteArray("%PDF-a"));
    }
}

QTEST_MAIN(TstAttachment)
#include "tst_attachment.moc"
