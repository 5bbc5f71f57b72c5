// The attachment window of the change/modify window and the preview.
#include "contracts/AttachmentWindow.h"
#include "support/Controls.h"
#include "support/PdfFiles.h"
#include "support/TestEnv.h"
#include "ui/PdfPane.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace cg;

namespace {

using cgtest::button;

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
    void windowShowsTheCopyTheSaveWillKeep();
    void replacementIsCheckedAndKeptPending();
    void damagedFilesAreRefused_data();
    void damagedFilesAreRefused();
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
    QCOMPARE(f.w->findChild<PdfPane *>()->notice(), PdfPane::kNone);
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

    // A file that asks for a password is whole: it is taken.
    const QByteArray protectedPdf = cgtest::passwordProtectedPdf();
    FileDialogs::setNextPath(writeFile(f.env, QStringLiteral("new.pdf"), protectedPdf));
    button(f.w, "按钮_修改")->click();
    QVERIFY(!f.w || !f.w->isVisible());
    QVERIFY(f.pending.changed());
    QCOMPARE(f.pending.bytes(), protectedPdf);
    // The stored copy is untouched until the caller saves.
    QCOMPARE(ContractStore(f.env.db(), QStringLiteral("htb1"), QString()).attachment(QStringLiteral("KQLM0007")),
             QByteArray());
}

void TstAttachment::windowShowsTheCopyTheSaveWillKeep()
{
    const QByteArray three = cgtest::pdfWithPages(3);
    const auto caption = [](QWidget *w) { return w->findChild<QLabel *>(QStringLiteral("标签_电子档"))->text(); };
    {
        Fixture f(three);
        auto *pane = f.w->findChild<PdfPane *>();
        QVERIFY(pane);
        QCOMPARE(pane->pageCount(), 3);
        QCOMPARE(f.w->findChild<QLabel *>(QStringLiteral("标签_页码"))->text(), QStringLiteral("1 / 3"));
        QCOMPARE(caption(f.w), QStringLiteral("已保存的电子档："));
    }
    {
        // Opened again after a file was chosen: that file.
        Fixture f(three);
        f.pending.set(cgtest::pdfWithPages(2));
        delete f.w.data();
        f.w = CreateAttachmentWindow(nullptr, f.pending, ContractStore(f.env.db(), QStringLiteral("htb1"), QString()),
                                     QStringLiteral("KQLM0007"));
        QCOMPARE(f.w->findChild<PdfPane *>()->pageCount(), 2);
        QCOMPARE(caption(f.w), QStringLiteral("新选择的电子档（保存后生效）："));
        // After a deletion: none.
        f.pending.markDeleted();
        delete f.w.data();
        f.w = CreateAttachmentWindow(nullptr, f.pending, ContractStore(f.env.db(), QStringLiteral("htb1"), QString()),
                                     QStringLiteral("KQLM0007"));
        QCOMPARE(f.w->findChild<PdfPane *>()->notice(), QStringLiteral("电子档已删除，保存后生效。"));
        QCOMPARE(f.w->findChild<PdfPane *>()->pageCount(), 0);
    }
    // Stored copies that cannot be shown say why.
    {
        Fixture f(cgtest::passwordProtectedPdf());
        QCOMPARE(f.w->findChild<PdfPane *>()->notice(), QStringLiteral("此PDF文件有密码保护，无法显示内容。"));
        QVERIFY(button(f.w, "按钮_预览")->isEnabled());
    }
    {
        Fixture f(QByteArray("%PDF-1.4 stored before files were checked"));
        QCOMPARE(f.w->findChild<PdfPane *>()->notice(), QStringLiteral("PDF文件已损坏，无法显示内容。"));
    }
}

void TstAttachment::damagedFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray whole = cgtest::pdfWithPages(2);
    QTest::newRow("header then garbage") << QByteArray("%PDF-1.7\n") + QByteArray(4000, '\x9c');
    QTest::newRow("truncated") << whole.left(whole.size() * 2 / 3);
}

// In the attachment window and in the entry window: the message, the window
// stays, nothing pending changes and nothing is stored.
void TstAttachment::damagedFilesAreRefused()
{
    QFETCH(QByteArray, bytes);
    const QByteArray stored = cgtest::pdfWithPages(1);
    Fixture f(stored);
    FileDialogs::setNextPath(writeFile(f.env, QStringLiteral("damaged.pdf"), bytes));
    button(f.w, "按钮_修改")->click();
    QCOMPARE(cgtest::messageTexts(), QStringList{QStringLiteral("PDF文件已损坏，不能作为附件！")});
    QCOMPARE(MessageSeam::shown().first().icon, MsgIcon::Error);
    QVERIFY(f.w->isVisible());
    QVERIFY(!f.pending.changed());
    QVERIFY(f.pending.isEmpty());
    QCOMPARE(ContractStore(f.env.db(), QStringLiteral("htb1"), QString()).attachment(QStringLiteral("KQLM0007")),
             stored);

    MessageSeam::clear();
    PendingAttachment entry;
    FileDialogs::setNextPath(writeFile(f.env, QStringLiteral("damaged.pdf"), bytes));
    Attachments::chooseForEntry(nullptr, entry);
    QCOMPARE(cgtest::messageTexts(), QStringList{QStringLiteral("PDF文件已损坏，不能作为附件！")});
    QVERIFY(entry.isEmpty());
    QVERIFY(!entry.changed());
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
    const QByteArray a = cgtest::pdfWithPages(1), b = cgtest::pdfWithPages(2);
    // Nothing chosen yet: no question.
    FileDialogs::setNextPath(writeFile(env, QStringLiteral("a.pdf"), a));
    Attachments::chooseForEntry(nullptr, pending);
    QCOMPARE(MessageSeam::shown().size(), 0);
    QCOMPARE(pending.bytes(), a);

    // The question is a notice with Yes and No; only Yes goes on.
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        MessageSeam::clear();
        MessageSeam::setNextAnswer(answer);
        FileDialogs::setNextPath(writeFile(env, QStringLiteral("b.pdf"), b));
        Attachments::chooseForEntry(nullptr, pending);
        QCOMPARE(cgtest::messageTexts(), QStringList{QStringLiteral("你已经添加过电子档了，是否要修改！")});
        QCOMPARE(MessageSeam::shown().first().icon, MsgIcon::Information);
        QVERIFY(MessageSeam::shown().first().yesNo);
        QCOMPARE(pending.bytes(), answer == QMessageBox::Yes ? b : a);
    }
}

QTEST_MAIN(TstAttachment)
#include "tst_attachment.moc"
