// Figures for the system log window on a log of a million entries (embedded
// database): time from 过滤 to the first screen of the list, for the whole
// year, one week and a condition on the address; paging through every entry;
// peak memory.
//
//   build/bench/bench_logview [entries]      (default 1000000)
//
// Prints key=value lines; bench/run-sheet-bench.sh sets them side by side.
#include "bench_util.h"
#include "data/Context.h"
#include "data/RowTableModel.h"
#include "data/Schema.h"
#include "logview/SystemLogWindow.h"
#include "ui/Seams.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <cstdio>

using namespace cg;


static void resetPeak()
{
    if (FILE *f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

// Clicks 过滤 and waits until the list has painted its first screen.
static qint64 firstScreen(SystemLogWindow *w)
{
    QElapsedTimer t;
    t.start();
    w->findChild<QPushButton *>(QStringLiteral("按钮_过滤_"))->click();
    w->list()->viewport()->repaint();
    QCoreApplication::processEvents();
    return t.elapsed();
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const qint64 entries = argc > 1 ? std::atoll(argv[1]) : 1000000;
    QTemporaryDir dir;
    AppContext ctx(dir.path() + QStringLiteral("/wkd/"));
    HostInfo::setOverride(QStringLiteral("bench"), QStringLiteral("127.0.0.1"));
    MessageSeam::startRecording();
    DbConnection &db = ctx.db();
    if (!db.openSqlite(ctx.workFolder() + QStringLiteral("cgsys.db")) || !Schema::initialise(db, 2035)) {
        std::printf("database failed\n");
        return 1;
    }

    // A year of entries, the newest on 2035-06-30, ids in time order.
    QElapsedTimer t;
    t.start();
    const bool seeded = db.execute(
        QStringLiteral("insert into rzb(过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址) "
                       "select d, d || ' 12:00:00', 'user' || (i % 20), '合同录入', '操作', "
                       "'合同录入成功：KQLM' || i || '|张三|采购部|李四|华东机电有限公司|工业控制器|2|台', "
                       "'PC-' || (i % 50), '192.168.' || (i % 255) || '.' || (i % 7) from "
                       "(select i, date('2035-06-30', '-' || ((%1 - i) * 365 / %1) || ' days') as d from "
                       "(with recursive n(i) as (select 1 union all select i + 1 from n limit %1) select i from n))")
            .arg(entries));
    if (!seeded) {
        std::printf("seeding failed: %s\n", qPrintable(db.lastError()));
        return 1;
    }
    std::printf("entries=%lld\nseed_ms=%lld\n", entries, t.elapsed());

    Clock::setFixed(QDateTime(QDate(2035, 6, 30), QTime(10, 0)));
    ctx.login.userName = QStringLiteral("admin");
    ctx.login.loggedIn = true;
    const long base = bench::peakRssKb();
    resetPeak();
    auto *w = new SystemLogWindow;
    w->show();
    QCoreApplication::processEvents();

    const qint64 yearMs = firstScreen(w);
    std::printf("year_first_screen_ms=%lld\nyear_rows_read=%d\nyear_count=%s\n", yearMs, w->model()->rowCount(),
                qPrintable(w->findChild<QLabel *>(QStringLiteral("标签_统计"))->text().trimmed()));
    const long firstPeak = bench::peakRssKb();

    w->findChild<QDateEdit *>(QStringLiteral("日期框_起始"))->setDate(QDate(2035, 6, 1));
    w->findChild<QDateEdit *>(QStringLiteral("日期框_终止"))->setDate(QDate(2035, 6, 7));
    const qint64 weekMs = firstScreen(w);
    std::printf("week_first_screen_ms=%lld\nweek_count=%s\n", weekMs,
                qPrintable(w->findChild<QLabel *>(QStringLiteral("标签_统计"))->text().trimmed()));

    w->findChild<QDateEdit *>(QStringLiteral("日期框_起始"))->setDate(QDate(2034, 6, 30));
    w->findChild<QDateEdit *>(QStringLiteral("日期框_终止"))->setDate(QDate(2035, 6, 30));
    auto *column = w->findChild<QComboBox *>(QStringLiteral("组合框_编号名称"));
    column->setCurrentIndex(column->findText(QStringLiteral("IP地址")));
    w->findChild<QLineEdit *>(QStringLiteral("编辑框_条件"))->setText(QStringLiteral("192.168.10."));
    const qint64 conditionMs = firstScreen(w);
    std::printf("condition_first_screen_ms=%lld\ncondition_count=%s\n", conditionMs,
                qPrintable(w->findChild<QLabel *>(QStringLiteral("标签_统计"))->text().trimmed()));

    // Every entry of the year, a page at a time as scrolling asks for them.
    w->findChild<QLineEdit *>(QStringLiteral("编辑框_条件"))->clear();
    firstScreen(w);
    RowTableModel *model = w->model();
    t.restart();
    int pages = 1;
    while (model->canFetchMore({})) {
        model->fetchMore({});
        ++pages;
    }
    std::printf("page_all_ms=%lld\npages=%d\npaged_rows=%d\n", t.elapsed(), pages, model->rowCount());
    std::printf("base_kb=%ld\nfirst_screen_peak_kb=%ld\npaged_peak_kb=%ld\n", base, firstPeak, bench::peakRssKb());
    delete w;
    return 0;
}
