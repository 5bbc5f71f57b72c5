#include "app/HotKeys.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QWidget>

#if defined(CGSYS_HAVE_X11)
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>
// Xlib's macros collide with Qt's enum names.
#undef KeyPress
#undef KeyRelease
#undef None
#undef Bool
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace cg {

#if defined(CGSYS_HAVE_X11)
namespace {
struct X11 {
    Display *display = nullptr;
    xcb_connection_t *connection = nullptr;
};
X11 x11()
{
    X11 out;
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return out;
    if (auto *app = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        out.display = app->display();
        out.connection = app->connection();
    }
    return out;
}
// The grab must not depend on Num Lock or Caps Lock.
const uint16_t kLockCombos[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
} // namespace
#endif

HotKeys::HotKeys(QObject *parent) : QObject(parent)
{
    qApp->installNativeEventFilter(this);
    qApp->installEventFilter(this);
    m_filterInstalled = true;
}

HotKeys::~HotKeys()
{
    unregisterAll();
    if (m_filterInstalled && qApp) {
        qApp->removeNativeEventFilter(this);
        qApp->removeEventFilter(this);
    }
}

bool HotKeys::isSystemWide(int id) const { return m_keys.value(id).systemWide; }

bool HotKeys::registerKey(int id, int qtKey)
{
    Key key;
    key.qtKey = qtKey;
#if defined(CGSYS_HAVE_X11)
    const X11 x = x11();
    if (x.display && x.connection && (qtKey == Qt::Key_F6 || qtKey == Qt::Key_F7)) {
        const KeyCode code = XKeysymToKeycode(x.display, qtKey == Qt::Key_F6 ? XK_F6 : XK_F7);
        if (code) {
            xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x.connection)).data->root;
            bool ok = true;
            for (uint16_t mods : kLockCombos) {
                xcb_void_cookie_t c = xcb_grab_key_checked(x.connection, 1, root, mods, code,
                                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
                if (xcb_generic_error_t *err = xcb_request_check(x.connection, c)) {
                    free(err);
                    ok = false;
                }
            }
            key.nativeCode = code;
            key.systemWide = ok;
        }
    }
#endif
#ifdef Q_OS_WIN
    if (auto *w = qobject_cast<QWidget *>(parent())) {
        const UINT vk = qtKey == Qt::Key_F6 ? 0x75 : 0x76;
        key.nativeCode = vk;
        key.systemWide = ::RegisterHotKey(reinterpret_cast<HWND>(w->winId()), id, 0, vk);
    }
#endif
    m_keys.insert(id, key);
    return key.systemWide;
}

void HotKeys::unregisterAll()
{
#if defined(CGSYS_HAVE_X11)
    const X11 x = x11();
    if (x.connection) {
        xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x.connection)).data->root;
        for (const Key &k : std::as_const(m_keys))
            if (k.systemWide)
                for (uint16_t mods : kLockCombos)
                    xcb_ungrab_key(x.connection, static_cast<xcb_keycode_t>(k.nativeCode), root, mods);
        xcb_flush(x.connection);
    }
#endif
#ifdef Q_OS_WIN
    if (auto *w = qobject_cast<QWidget *>(parent()))
        for (auto it = m_keys.cbegin(); it != m_keys.cend(); ++it)
            if (it->systemWide)
                ::UnregisterHotKey(reinterpret_cast<HWND>(w->winId()), it.key());
#endif
    m_keys.clear();
}

bool HotKeys::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result)
{
    Q_UNUSED(result);
#if defined(CGSYS_HAVE_X11)
    if (eventType == "xcb_generic_event_t") {
        auto *ev = static_cast<xcb_generic_event_t *>(message);
        if ((ev->response_type & ~0x80) == XCB_KEY_PRESS) {
            auto *kp = reinterpret_cast<xcb_key_press_event_t *>(ev);
            const xcb_window_t root = kp->root;
            if (kp->event == root) {
                for (auto it = m_keys.cbegin(); it != m_keys.cend(); ++it) {
                    if (it->systemWide && it->nativeCode == kp->detail) {
                        Q_EMIT activated(it.key());
                        return true;
                    }
                }
            }
        }
    }
#endif
#ifdef Q_OS_WIN
    if (eventType == "windows_generic_MSG") {
        auto *msg = static_cast<MSG *>(message);
        if (msg->message == WM_HOTKEY && m_keys.contains(int(msg->wParam))) {
            Q_EMIT activated(int(msg->wParam));
            if (result)
                *result = 0;
            return true;
        }
    }
#endif
    Q_UNUSED(eventType);
    Q_UNUSED(message);
    return false;
}

bool HotKeys::eventFilter(QObject *watched, QEvent *event)
{
    // Inside the program every registered key works, also where the
    // system-wide grab was not possible.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->isWindow()) {
        auto *ke = static_cast<QKeyEvent *>(event);
        if (ke->modifiers() == Qt::NoModifier && !ke->isAutoRepeat()) {
            for (auto it = m_keys.cbegin(); it != m_keys.cend(); ++it) {
                if (it->qtKey == ke->key()) {
                    Q_EMIT activated(it.key());
                    return true;
                }
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace cg
