#include "ui/Shell.h"
#include "ui/Seams.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "ui/Gates.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHash>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QPointer>
#include <QScreen>

namespace cg {

QFont ProgramFont(qreal pointSize)
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Microsoft YaHei"),
                      QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC")});
    font.setPointSizeF(pointSize);
    return font;
}

QString WindowTitle(const QString &name) { return kSystemTitle + QStringLiteral("--") + name; }

namespace {
QHash<QString, Windows::Factory> &factories()
{
    static QHash<QString, Windows::Factory> f;
    return f;
}
QHash<QString, QPointer<QWidget>> &openWindows()
{
    static QHash<QString, QPointer<QWidget>> w;
    return w;
}
QPointer<QWidget> &mainWindow()
{
    static QPointer<QWidget> w;
    return w;
}
std::function<void()> &shutdownHook()
{
    static std::function<void()> h;
    return h;
}
} // namespace

void SetMainWindow(QWidget *window) { mainWindow() = window; }
QWidget *MainWindowWidget() { return mainWindow().data(); }

namespace Windows {
void registerFactory(const QString &key, Factory factory) { factories().insert(key, std::move(factory)); }
bool has(const QString &key) { return factories().contains(key); }
void clearFactories()
{
    factories().clear();
    openWindows().clear();
}

QWidget *find(const QString &key)
{
    // A closed window may wait for its deletion a little: it counts as gone.
    QWidget *w = openWindows().value(key);
    return w && !w->isHidden() ? w : nullptr;
}

QWidget *open(const QString &key)
{
    if (QWidget *w = find(key)) {
        if (w->isMinimized())
            w->showNormal();
        w->show();
        w->raise();
        w->activateWindow();
        return w;
    }
    const auto it = factories().constFind(key);
    if (it == factories().constEnd())
        return nullptr;
    QWidget *owner = MainWindowWidget();
    QWidget *w = (*it)(owner);
    if (!w)
        return nullptr;
    OpenChildWindow(w, key);
    return w;
}

void openModal(const QString &key)
{
    const auto it = factories().constFind(key);
    if (it == factories().constEnd())
        return;
    QWidget *w = (*it)(nullptr);
    if (!w)
        return;
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->setProperty("cgWindowKey", key);
    Gates::applyTo(w, key);
    w->setWindowModality(Qt::ApplicationModal);
    openWindows().insert(key, w);
    w->show();
    // Wait until the window is gone.
    QPointer<QWidget> guard(w);
    while (guard && guard->isVisible())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}
} // namespace Windows

void OpenChildWindow(QWidget *window, const QString &key)
{
    QWidget *owner = MainWindowWidget();
    if (owner && window->parentWidget() != owner)
        window->setParent(owner, window->windowFlags() | Qt::Window);
    window->setWindowFlag(Qt::Window, true);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (!key.isEmpty()) {
        window->setProperty("cgWindowKey", key);
        openWindows().insert(key, window);
        Gates::applyTo(window, key);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void InstallLogFailureMessage()
{
    SetLogFailureReporter([] { ShowMessage(QStringLiteral("没有写入成功")); });
}

void SetShutdownHook(std::function<void()> hook) { shutdownHook() = std::move(hook); }

void ShutDownApplication()
{
    if (HasContext()) {
        Ctx().db().close();
        Ctx().localDb().close();
    }
    if (shutdownHook())
        shutdownHook()();
    ProcessExit::exit(0, ProcessExit::Mode::Orderly);
}

ChildWindow::ChildWindow(const QString &name, const QString &module, const QString &openText,
                         const QString &closeText, QWidget *parent)
    : QWidget(parent, Qt::Window), m_module(module), m_openText(openText), m_closeText(closeText)
{
    setWindowTitle(WindowTitle(name));
}

void ChildWindow::logOpened()
{
    if (!m_openText.isEmpty())
        WriteLogEntry(QStringLiteral("开始"), m_openText, m_module);
}

void ChildWindow::closeEvent(QCloseEvent *event)
{
    if (!m_closedLogged && !m_closeText.isEmpty()) {
        m_closedLogged = true;
        WriteLogEntry(QStringLiteral("结束"), m_closeText, m_module);
    }
    QWidget::closeEvent(event);
}

QLabel *FieldLabel(const QString &objectName, const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(objectName);
    if (buddy) {
        label->setBuddy(buddy);
        buddy->setAccessibleName(text);
    }
    return label;
}

void AddFieldRow(QGridLayout *grid, int row, const QString &labelName, const QString &text, QWidget *field)
{
    grid->addWidget(FieldLabel(labelName, text, field, grid->parentWidget()), row, 0);
    grid->addWidget(field, row, 1);
}

QPushButton *NamedButton(const QString &objectName, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    b->setAutoDefault(false);
    return b;
}

QAction *NamedMenuAction(QMenu *menu, const QString &caption)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(caption);
    return a;
}

void CentreOnScreen(QWidget *window)
{
    window->adjustSize();
    if (QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
    }
}

void SetHint(QLabel *label, const QString &text, bool success)
{
    label->setText(text);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, success ? QColor(0, 128, 0) : QColor(255, 0, 0));
    label->setPalette(p);
}

} // namespace cg
