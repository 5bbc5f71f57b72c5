#pragma once
// The basic data window: pick one of the six kinds, see its values, add and
// delete values. The lists of the other windows follow through the refresh
// operations of masterdata/BasicData.h.

#include "ui/Shell.h"
#include "masterdata/BasicData.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeWidget;

namespace cg {

class BasicDataWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit BasicDataWindow(QWidget *owner = nullptr);

    // The kind 组合框_项目 shows; nullptr when its text names none.
    const BasicData::KindInfo *shownKind() const;

    void selectKind();
    void addValue();
    void deleteSelected();

private:
    void showMenu(const QPoint &pos);
    void fillList(const QStringList &values);
    void updateCount();

    QComboBox *m_kind = nullptr;
    QLineEdit *m_value = nullptr;
    QPushButton *m_add = nullptr;
    QTreeWidget *m_list = nullptr;
    QLabel *m_hint = nullptr;
    QLabel *m_count = nullptr;
    QMenu *m_menu = nullptr;
};

// The basic data window, owned by owner.
QWidget *CreateBasicDataWindow(QWidget *owner);

} // namespace cg
