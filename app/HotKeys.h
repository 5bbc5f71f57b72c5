#pragma once
// F6 and F7: system-wide on X11 (a passive key grab on the root window) and
// on Windows (RegisterHotKey); elsewhere, and when the grab is refused, they
// work while one of the program's windows has the focus.

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <QObject>

namespace cg {

class HotKeys : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    static constexpr int kContractQuery = 7891;
    static constexpr int kSupplierQuery = 7823;

    explicit HotKeys(QObject *parent = nullptr);
    ~HotKeys() override;

    // True when the key is registered system-wide.
    bool registerKey(int id, int qtKey);
    void unregisterAll();
    bool isRegistered(int id) const { return m_keys.contains(id); }
    bool isSystemWide(int id) const;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

Q_SIGNALS:
    void activated(int id);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Key {
        int qtKey = 0;
        unsigned nativeCode = 0;   // X11 key code or Windows virtual key
        bool systemWide = false;
    };
    QHash<int, Key> m_keys;
    bool m_filterInstalled = false;
};

} // namespace cg
