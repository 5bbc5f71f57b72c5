// Contract numbering, the balance arithmetic and the stored attachment.
#include "contracts/Attachment.h"
#include "contracts/ContractRecord.h"
#include "support/PdfFiles.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QtTest>

using namespace cg;

namespace {

const QString kTable = QStringLiteral("htb1");

// A line of a contract as another workstation or an older version stored it.
void storeLine(cgtest::TestEnv &env, const QString &number, const QVariant &attachment = QVariant())
{
    QVERIFY(env.db().execute(QStringLiteral("insert into htb1(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,"
                                            "设备数量,计量单位,制单日期,生效日期,失效日期,合同金额,付款方式,税率,附件) "
                                            "values('已审核',?,?,'张三','采购部','李四','供应商甲','螺丝','1','个',"
                                            "'2024-03-05','2024-03-05','2024-12-31','100','现金','13%',?)"),
                             {number, number + QStringLiteral("52"), attachment}));
}

void setPrefix(cgtest::TestEnv &env, const QString &prefix)
{
    QVERIFY(env.db().execute(QStringLiteral("update ztb set 合同编号=?"), {prefix}));
}

QString writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return path;
}


} // namespace

class TstContractRecord : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void numbering();
    void numberAfterTheFourDigits();
    void numberAfterHandTypedNumbers_data();
    void numberAfterHandTypedNumbers();
    void numberExistsAsTheServerCompares();
    void remainingBalance_data();
    void remainingBalance();
    void decimalSum_data();
    void decimalSum();
    void attachmentOnTheFirstRowOnly();
    void attachmentFileChecks();
};

void TstContractRecord::numbering()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    const QString set = env.ctx().login.accountSetName;
    ContractStore store(env.db(), kTable, set);

    setPrefix(env, QStringLiteral("KQLM2024"));
    QCOMPARE(store.nextNumber(), QStringLiteral("KQLM20240001"));
    QCOMPARE(LineSubNumber(QStringLiteral("KQLM20240001"), 1), QStringLiteral("KQLM2024000152"));
    QCOMPARE(LineSubNumber(QStringLiteral("KQLM20240001"), 2), QStringLiteral("KQLM2024000154"));
    QCOMPARE(LineSubNumber(QStringLiteral("KQLM20240001"), 3), QStringLiteral("KQLM2024000156"));

    storeLine(env, QStringLiteral("KQLM20240001"));
    QCOMPARE(store.nextNumber(), QStringLiteral("KQLM20240002"));
    // The prefix is read at every call.
    setPrefix(env, QStringLiteral("CG"));
    QCOMPARE(store.nextNumber(), QStringLiteral("CG0002"));
    setPrefix(env, QString());
    QCOMPARE(store.nextNumber(), QStringLiteral("0002"));

    // A number typed by hand without digits at its end restarts the
    // sequence, skipping the numbers in use.
    setPrefix(env, QStringLiteral("KQLM2024"));
    storeLine(env, QStringLiteral("KQLM20240002"));
    storeLine(env, QStringLiteral("手工编号"));
    QCOMPARE(store.nextNumber(), QStringLiteral("KQLM20240003"));
    // Only the last row counts, not the highest number.
    storeLine(env, QStringLiteral("X0001"));
    QCOMPARE(store.nextNumber(), QStringLiteral("KQLM20240003"));
    // A set without a ztb row has no prefix.
    QCOMPARE(ContractStore(env.db(), kTable, QStringLiteral("没有的账套")).nextNumber(), QStringLiteral("0002"));
}

void TstContractRecord::numberAfterTheFourDigits()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    ContractStore store(env.db(), kTable, env.ctx().login.accountSetName);
    setPrefix(env, QStringLiteral("KQLM2024"));

    storeLine(env, QStringLiteral("KQLM20249999"));
    QCOMPARE(store.nextNumber(), QStringLiteral("KQLM202410000"));
    storeLine(env, QStringLiteral("KQLM202410000"));
    // Its last four characters are 0000: the sequence starts again.
    QCOMPARE(store.nextNumber(), QStringLiteral("KQLM20240001"));
    storeLine(env, QStringLiteral("KQLM20240001"));
    storeLine(env, QStringLiteral("KQLM202410000"));
    QCOMPARE(store.nextNumber(), QStringLiteral("KQLM20240002"));
}

void TstContractRecord::numberAfterHandTypedNumbers_data()
{
    // The numbers stored in insertion order, and the next number.
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("next");
    QTest::newRow("sign ends the digits") << QStringList{"Q-002"} << "KQLM0001";
    QTest::newRow("sign, first taken") << QStringList{"KQLM0001", "Q-002"} << "KQLM0002";
    QTest::newRow("plus sign") << QStringList{"Q+123"} << "KQLM0001";
    QTest::newRow("blank ends the digits") << QStringList{"Q 123"} << "KQLM0001";
    QTest::newRow("digits then a sign") << QStringList{"KQ12-3"} << "KQLM0013";
    QTest::newRow("Chinese before a digit") << QStringList{"合同7"} << "KQLM0001";
    QTest::newRow("leading zeros") << QStringList{"0099"} << "KQLM0100";
    QTest::newRow("newest line decides") << QStringList{"KQLM0050", "KQLM0007"} << "KQLM0008";
    QTest::newRow("skips a run of taken") << QStringList{"KQLM0002", "KQLM0003", "KQLM0004", "KQLM0001"}
                                          << "KQLM0005";
}

void TstContractRecord::numberAfterHandTypedNumbers()
{
    QFETCH(QStringList, stored);
    QFETCH(QString, next);
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    setPrefix(env, QStringLiteral("KQLM"));
    for (const QString &number : stored)
        storeLine(env, number);
    QCOMPARE(ContractStore(env.db(), kTable, env.ctx().login.accountSetName).nextNumber(), next);
}

void TstContractRecord::numberExistsAsTheServerCompares()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    // A table whose numbers compare without regard to letter case, as a
    // SQL Server collation does.
    QVERIFY(env.db().execute(QStringLiteral("drop table htb1")));
    QVERIFY(env.db().execute(QStringLiteral("create table htb1(id INTEGER PRIMARY KEY AUTOINCREMENT,单据状态 text,"
                                            "合同编号 text collate nocase,合同子编号 text,申请人 text,申请部门 text,"
                                            "采购员 text,供应商 text,产品 text,设备数量 text,计量单位 text,制单日期 date,"
                                            "生效日期 date,失效日期 date,合同金额 text,付款方式 text,第一次付款 text,"
                                            "第二次付款 text,第三次付款 text,第四次付款 text,剩余尾款 text,税率 text,"
                                            "附件 image)")));
    ContractStore store(env.db(), kTable, env.ctx().login.accountSetName);
    setPrefix(env, QStringLiteral("KQLM"));
    storeLine(env, QStringLiteral("kqlm0002"));
    storeLine(env, QStringLiteral("KQLM0001"));
    // The row returned decides, not the text it carries.
    QVERIFY(store.numberExists(QStringLiteral("kqlm0001")));
    QVERIFY(store.numberExists(QStringLiteral("KQLM0002")));
    QVERIFY(!store.numberExists(QStringLiteral("KQLM0003")));
    // The server's view also decides which number is free.
    QCOMPARE(store.nextNumber(), QStringLiteral("KQLM0003"));
    // A table name that is not a plain identifier is never used.
    QVERIFY(!ContractStore(env.db(), QStringLiteral("htb1 where 1=1 --"), QString()).numberExists(QStringLiteral("KQLM0001")));
}

void TstContractRecord::remainingBalance_data()
{
    QTest::addColumn<QStringList>("amounts");
    QTest::addColumn<QString>("rest");
    QTest::newRow("mixed") << QStringList{"10000", "3000", "", "2000.5", "abc"} << "4999.5";
    QTest::newRow("empty total") << QStringList{"", "100", "", "", ""} << "-100";
    QTest::newRow("fresh form") << QStringList{"0", "0", "0", "0", "0"} << "0";
    QTest::newRow("reading stops") << QStringList{"1,000", " 12.5e1x", "+.5", "1e", "-"} << "-125.5";
    QTest::newRow("reading stops 2") << QStringList{"1,000", " 1e2x", "-.5", "", ""} << "-98.5";
    // Decimal, not binary: fully paid contracts come out as 0.
    QTest::newRow("fully paid") << QStringList{"29709.06", "11937.08", "17771.98", "", ""} << "0";
    QTest::newRow("point three") << QStringList{"0.3", "0.1", "0.2", "", ""} << "0";
    QTest::newRow("trailing zeros") << QStringList{"2000.50", "500.00", "", "", ""} << "1500.5";
    QTest::newRow("negative") << QStringList{"100.10", "50.05", "50.06", "", ""} << "-0.01";
    QTest::newRow("minus zero") << QStringList{"-0", "0.00", "", "", ""} << "0";
    QTest::newRow("sixteen decimals") << QStringList{"1", "0.3333333333333333", "", "", ""} << "0.6666666666666667";
    QTest::newRow("fourteen digits") << QStringList{"12345678901234", "", "", "", ""} << "12345678901234";
    QTest::newRow("twenty digits") << QStringList{"12345678901234567890.12", "0.01", "", "", ""}
                                  << "12345678901234567890.11";
    QTest::newRow("exponent in") << QStringList{"1.5e3", "2.5e-3", "", "", ""} << "1499.9975";
    QTest::newRow("big exponent") << QStringList{"1e20", "", "", "", ""} << "100000000000000000000";
    QTest::newRow("beyond a double") << QStringList{"1e400", "1", "", "", ""} << "inf";
    QTest::newRow("both infinities") << QStringList{"1e400", "1e999999999999", "", "", ""} << "nan";
    QTest::newRow("tiny rounds away") << QStringList{QStringLiteral("1e-500"), "", "", "", ""} << "0";
}

void TstContractRecord::remainingBalance()
{
    QFETCH(QStringList, amounts);
    QFETCH(QString, rest);
    QCOMPARE(RemainingBalance(amounts[0], amounts[1], amounts[2], amounts[3], amounts[4]), rest);
}

void TstContractRecord::decimalSum_data()
{
    // Amounts added in order; "?" marks those that are no number.
    QTest::addColumn<QStringList>("amounts");
    QTest::addColumn<QString>("sum");
    QTest::addColumn<QString>("refused");
    QTest::newRow("binary would drift") << QStringList{"0.1", "0.2", "0.3", "-0.6"} << "0" << "";
    QTest::newRow("more decimals later") << QStringList{"10", "0.005", "2.5", "-12.5"} << "0.005" << "";
    QTest::newRow("sign changes") << QStringList{"3", "-10.25", "7.25", "-1"} << "-1" << "";
    QTest::newRow("carry through") << QStringList{"99999999999999999999.99", "0.01"} << "100000000000000000000" << "";
    QTest::newRow("forms atof takes whole") << QStringList{" 1e3 ", "+.5", "5.", "-0", "2E-2"} << "1005.52" << "";
    QTest::newRow("no number or only a start") << QStringList{"", " ", "abc", "1,000", "12元", "1e400", "-", "inf", "7"}
                                           << "7" << "0,1,2,3,4,5,6,7";
}

void TstContractRecord::decimalSum()
{
    QFETCH(QStringList, amounts);
    QFETCH(QString, sum);
    QFETCH(QString, refused);
    DecimalSum total;
    QStringList notRead;
    for (int k = 0; k < amounts.size(); ++k) {
        const std::optional<DecimalSum> v = DecimalSum::read(amounts[k]);
        if (v)
            total.add(*v);
        else
            notRead << QString::number(k);
    }
    QCOMPARE(total.text(), sum);
    QCOMPARE(notRead.join(u','), refused);
    // Ordering across signs and decimals, as the top of a list needs it.
    const auto value = [](const char *t) { return *DecimalSum::read(QString::fromLatin1(t)); };
    QCOMPARE(DecimalSum::compare(value("10.5"), value("9.75")), 1);
    QCOMPARE(DecimalSum::compare(value("-10.5"), value("-9.75")), -1);
    QCOMPARE(DecimalSum::compare(value("2.50"), value("2.5")), 0);
    QCOMPARE(DecimalSum::compare(value("0"), value("-0.001")), 1);
    QCOMPARE(DecimalSum::compare(value("0.0001"), value("1")), -1);
}

void TstContractRecord::attachmentOnTheFirstRowOnly()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    ContractStore store(env.db(), kTable, env.ctx().login.accountSetName);
    const QString number = QStringLiteral("KQLM0001");
    storeLine(env, number);
    storeLine(env, number, QByteArray("%PDF-later row"));
    // Only the first row is asked.
    QVERIFY(!store.hasAttachment(number));

    QVERIFY(store.writeAttachment(number, QByteArray("%PDF-1.4 first")));
    QVERIFY(store.hasAttachment(number));
    QCOMPARE(store.attachment(number), QByteArray("%PDF-1.4 first"));
    QCOMPARE(env.rows(QStringLiteral("select 附件 from htb1 order by id")),
             (QList<QStringList>{{"%PDF-1.4 first"}, {"%PDF-later row"}}));
    // Nothing to store, or no contract to store it on.
    QVERIFY(store.writeAttachment(number, QByteArray()));
    QVERIFY(!store.writeAttachment(QStringLiteral("KQLM9999"), QByteArray("%PDF-")));

    // Cleared: an empty value on every row, not NULL.
    QVERIFY(store.clearAttachment(number));
    QVERIFY(!store.hasAttachment(number));
    QCOMPARE(env.rows(QStringLiteral("select typeof(附件),length(附件) from htb1")),
             (QList<QStringList>{{"blob", "0"}, {"blob", "0"}}));
}

void TstContractRecord::attachmentFileChecks()
{
    cgtest::TestEnv env;
    const QString dir = env.folder() + QLatin1Char('/');
    QByteArray bytes;
    const QString limit = writeFile(dir + QStringLiteral("limit.pdf"), cgtest::pdfOfSize(kMaxAttachmentBytes));
    QCOMPARE(Attachments::readFile(limit, &bytes), Attachments::FileCheck::Accepted);
    QCOMPARE(bytes.size(), kMaxAttachmentBytes);
    bytes.clear();
    const QString over = writeFile(dir + QStringLiteral("over.pdf"), cgtest::pdfOfSize(kMaxAttachmentBytes + 1));
    QCOMPARE(Attachments::readFile(over, &bytes), Attachments::FileCheck::TooLarge);
    QVERIFY(bytes.isEmpty());
    const QString text = writeFile(dir + QStringLiteral("note.pdf"), QByteArray("just text"));
    QCOMPARE(Attachments::readFile(text, &bytes), Attachments::FileCheck::NotPdf);
    QCOMPARE(Attachments::readFile(dir + QStringLiteral("missing.pdf"), &bytes), Attachments::FileCheck::Unreadable);
}

QTEST_MAIN(TstContractRecord)
#include "tst_contractrecord.moc"
