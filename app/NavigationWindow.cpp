#include "app/NavigationWindow.h"
#include "app/MainWindow.h"
#include "ui/Seams.h"
#include "data/Context.h"
#include "data/OperationLog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace cg {

namespace {
QIcon glyphIcon(const QString &glyph, const QColor &colour, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(1, 1, size - 2, size - 2), size / 5.0, size / 5.0);
    QLinearGradient g(0, 0, 0, size);
    g.setColorAt(0, colour.lighter(135));
    g.setColorAt(1, colour);
    p.fillPath(path, g);
    QFont f(QStringLiteral("WenQuanYi Micro Hei"));
    f.setPixelSize(size * 11 / 20);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, glyph);
    return QIcon(pm);
}

void exitAtOnce() { ProcessExit::exit(0, ProcessExit::Mode::Immediate); }
} // namespace

QToolButton *NavigationWindow::button(const QString &name, const QString &text, const QString &glyph,
                                      const QColor &colour, int size, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setAccessibleName(text);
    b->setIcon(glyphIcon(glyph, colour, size));
    b->setIconSize(QSize(size, size));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setAutoRaise(true);
    b->setMinimumWidth(size + 24);
    return b;
}

NavigationWindow::NavigationWindow(QWidget *owner)
    : ChildWindow(QStringLiteral("导航窗口"), QStringLiteral("导航"), QStringLiteral("打开导航窗口"),
                  QStringLiteral("关闭导航窗口"), owner)
{
    setObjectName(QStringLiteral("导航窗口"));
    resize(657, 347);
    if (owner)
        move(owner->x() + 20, owner->y() + 60);

    const QColor blue(0x2f, 0x6f, 0xb3), green(0x2e, 0x8b, 0x57), orange(0xd2, 0x7b, 0x22),
        purple(0x6a, 0x4c, 0x9c), grey(0x70, 0x70, 0x70), red(0xb0, 0x3a, 0x2e);

    auto *left = new QVBoxLayout;
    m_entry = button(QStringLiteral("按钮_合同录入"), QStringLiteral("合同录入"), QStringLiteral("合"), red, 40, this);
    m_query = button(QStringLiteral("按钮_数据查询"), QStringLiteral("数据查询"), QStringLiteral("查"), blue, 40, this);
    m_basic = button(QStringLiteral("按钮_基础信息"), QStringLiteral("基础信息"), QStringLiteral("基"), green, 40, this);
    m_system = button(QStringLiteral("按钮_系统设置"), QStringLiteral("系统设置"), QStringLiteral("设"), purple, 40, this);
    for (QToolButton *b : {m_entry, m_query, m_basic, m_system}) {
        b->setCheckable(true);
        left->addWidget(b);
    }
    left->addStretch();
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("外形框1"));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setLayout(left);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("导航选择夹"));

    auto page = [&](const QString &tab, const QString &heading) {
        auto *w = new QWidget;
        auto *v = new QVBoxLayout(w);
        auto *title = new QLabel(heading, w);
        QFont f;
        f.setFamilies({QStringLiteral("楷体"), QStringLiteral("KaiTi"), QStringLiteral("AR PL UKai CN"),
                       QStringLiteral("WenQuanYi Micro Hei")});
        f.setPointSize(20);
        title->setFont(f);
        v->addWidget(title);
        auto *grid = new QHBoxLayout;
        v->addLayout(grid);
        v->addStretch();
        auto *bottom = new QHBoxLayout;
        v->addLayout(bottom);
        m_tabs->addTab(w, tab);
        return std::make_tuple(w, grid, bottom);
    };
    auto addExit = [&](QWidget *w, QHBoxLayout *bottom, int n) {
        bottom->addStretch();
        QToolButton *b = button(QStringLiteral("按钮%1_退出").arg(n), QStringLiteral("退出系统"), QStringLiteral("退"), grey, 28, w);
        bottom->addWidget(b);
        connect(b, &QToolButton::clicked, this, [] { exitAtOnce(); });
    };

    auto [p0, g0, b0] = page(QStringLiteral("查询数据"), QStringLiteral("查询数据"));
    QToolButton *qc = button(QStringLiteral("按钮_查询合同"), QStringLiteral("查询合同"), QStringLiteral("合"), blue, 48, p0);
    QToolButton *qs = button(QStringLiteral("按钮_查询供应商"), QStringLiteral("查询供应商"), QStringLiteral("供"), blue, 48, p0);
    g0->addWidget(qc);
    g0->addWidget(qs);
    g0->addStretch();
    addExit(p0, b0, 1);
    connect(qc, &QToolButton::clicked, this, [] { Windows::open(WindowKey::ContractQuery); });
    connect(qs, &QToolButton::clicked, this, [] { Windows::open(WindowKey::SupplierQuery); });

    auto [p1, g1, b1] = page(QStringLiteral("基础信息"), QStringLiteral("基础资料"));
    QToolButton *sup = button(QStringLiteral("按钮_供应商"), QStringLiteral("供应商录入"), QStringLiteral("供"), green, 48, p1);
    QToolButton *bd = button(QStringLiteral("按钮_基础资料"), QStringLiteral("基础资料"), QStringLiteral("基"), green, 48, p1);
    g1->addWidget(sup);
    g1->addWidget(bd);
    g1->addStretch();
    QToolButton *note = button(QStringLiteral("按钮_记事本"), QStringLiteral("记事本"), QStringLiteral("记"), orange, 28, p1);
    QToolButton *calc = button(QStringLiteral("按钮_计算器"), QStringLiteral("计算器"), QStringLiteral("算"), orange, 28, p1);
    QToolButton *bd1 = button(QStringLiteral("按钮1_基础资料"), QStringLiteral("基础资料"), QStringLiteral("基"), orange, 28, p1);
    b1->addWidget(note);
    b1->addWidget(calc);
    b1->addWidget(bd1);
    addExit(p1, b1, 2);
    connect(sup, &QToolButton::clicked, this, [] { Windows::open(WindowKey::SupplierEntry); });
    connect(bd, &QToolButton::clicked, this, [] { Windows::open(WindowKey::BasicData); });
    connect(bd1, &QToolButton::clicked, this, [] { Windows::open(WindowKey::BasicData); });
    connect(note, &QToolButton::clicked, this, [] {
        MainWindow::runTool(false);
        WriteLogEntry(QStringLiteral("操作状态"), QStringLiteral("打开记事本"), QStringLiteral("导航"));
    });
    connect(calc, &QToolButton::clicked, this, [] {
        MainWindow::runTool(true);
        WriteLogEntry(QStringLiteral("操作状态"), QStringLiteral("打开计算器"), QStringLiteral("导航"));
    });

    auto [p2, g2, b2] = page(QStringLiteral("系统管理"), QStringLiteral("系统管理"));
    QToolButton *sets = button(QStringLiteral("按钮_帐套管理"), QStringLiteral("帐套管理"), QStringLiteral("帐"), purple, 48, p2);
    QToolButton *cfg = button(QStringLiteral("按钮_系统配置"), QStringLiteral("系统配置"), QStringLiteral("配"), purple, 48, p2);
    QToolButton *users = button(QStringLiteral("按钮_用户管理"), QStringLiteral("用户管理"), QStringLiteral("用"), purple, 48, p2);
    g2->addWidget(sets);
    g2->addWidget(cfg);
    g2->addWidget(users);
    g2->addStretch();
    addExit(p2, b2, 3);
    connect(sets, &QToolButton::clicked, this, [] { Windows::open(WindowKey::AccountSets); });
    connect(cfg, &QToolButton::clicked, this, [] { Windows::open(WindowKey::SystemConfig); });
    connect(users, &QToolButton::clicked, this, [] { Windows::open(WindowKey::UserManagement); });

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(m_tabs, 1);

    connect(m_entry, &QToolButton::clicked, this, [this] {
        MainWindow::openContractEntryChecked(this);
        m_entry->setChecked(true);
        for (QToolButton *b : {m_query, m_basic, m_system})
            b->setChecked(false);
    });
    connect(m_query, &QToolButton::clicked, this,
            [this] { selectPage(0, m_query, QStringLiteral("点击数据查询")); });
    connect(m_basic, &QToolButton::clicked, this,
            [this] { selectPage(1, m_basic, QStringLiteral("点击基础信息")); });
    connect(m_system, &QToolButton::clicked, this,
            [this] { selectPage(2, m_system, QStringLiteral("点击系统设置")); });

    m_query->setChecked(true);
    m_entry->setChecked(false);
    logOpened();
}

void NavigationWindow::selectPage(int page, QToolButton *pressed, const QString &logText)
{
    m_tabs->setCurrentIndex(page);
    for (QToolButton *b : {m_entry, m_query, m_basic, m_system})
        b->setChecked(b == pressed);
    WriteLogEntry(QStringLiteral("操作状态"), logText, QStringLiteral("导航"));
}

} // namespace cg
