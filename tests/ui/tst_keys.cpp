// Enter as a keyboard delivers it: to the focused control, whatever inner
// child the control has.
#include "support/UserInput.h"
#include "ui/Keys.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

using namespace cg;

class TstKeys : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void enterReachesTheControl_data();
    void enterReachesTheControl();
    void datePickerTakesTheTypedDate();
};

void TstKeys::enterReachesTheControl_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("runs");
    for (const char *kind : {"edit", "editable combo", "combo via its line edit", "drop-down list", "date picker"}) {
        QTest::addRow("%s, Return", kind) << QString::fromLatin1(kind) << int(Qt::Key_Return) << 1;
        QTest::addRow("%s, keypad Enter", kind) << QString::fromLatin1(kind) << int(Qt::Key_Enter) << 1;
        QTest::addRow("%s, Tab", kind) << QString::fromLatin1(kind) << int(Qt::Key_Tab) << 0;
        QTest::addRow("%s, F2", kind) << QString::fromLatin1(kind) << int(Qt::Key_F2) << 0;
    }
}

void TstKeys::enterReachesTheControl()
{
    QFETCH(QString, kind);
    QFETCH(int, key);
    QFETCH(int, runs);
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    QWidget *control = nullptr;
    QWidget *handle = nullptr;   // what the window hands to OnEnter
    QComboBox *combo = nullptr;
    if (kind == QLatin1String("edit")) {
        control = handle = new QLineEdit;
    } else if (kind == QLatin1String("date picker")) {
        control = handle = new QDateEdit(QDate(2024, 3, 1));
    } else {
        combo = new QComboBox;
        combo->addItems({QStringLiteral("甲"), QStringLiteral("乙")});
        const bool editable = kind != QLatin1String("drop-down list");
        combo->setEditable(editable);
        control = combo;
        handle = kind == QLatin1String("combo via its line edit") ? static_cast<QWidget *>(combo->lineEdit()) : combo;
    }
    layout->addWidget(control);
    layout->addWidget(new QLineEdit);   // somewhere for Tab to go
    int ran = 0;
    OnEnter(handle, [&ran] { ++ran; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (combo && combo->isEditable())
        QVERIFY(cgtest::typeText(combo, QStringLiteral("丙")));
    QVERIFY(cgtest::press(control, Qt::Key(key),
                          key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::KeyboardModifiers(Qt::NoModifier)));
    QCOMPARE(ran, runs);
    // Enter is taken by the handler: an editable combo box adds no item.
    if (combo)
        QCOMPARE(combo->count(), 2);
}

void TstKeys::datePickerTakesTheTypedDate()
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *picker = new QDateEdit(QDate(2024, 3, 1));
    picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    picker->setKeyboardTracking(false);
    layout->addWidget(picker);
    QDate seen;
    OnEnter(picker, [&] { seen = picker->date(); });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(cgtest::typeText(picker, QStringLiteral("2024-05-09")));
    QVERIFY(cgtest::pressReturn(picker));
    QCOMPARE(seen, QDate(2024, 5, 9));
}

QTEST_MAIN(TstKeys)
#include "tst_keys.moc"
