#pragma once
#include "ui/Shell.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTextEdit;

namespace cg {

// The system configuration window, owned by owner; nullptr until it is built.
QWidget *CreateSystemConfigWindow(QWidget *owner);

// "砚禾澄屿合同管理系统--系统配置": background picture and placement for
// everyone; the account set's contract-number prefix and log limit for
// "admin" only.
class SystemConfigWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit SystemConfigWindow(QWidget *owner = nullptr);

    void browse();
    void clearPicture();
    void placementChosen();
    void restoreDefaults();
    void save();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void load();

    QTextEdit *m_path;
    QPushButton *m_browse, *m_clear;
    QComboBox *m_placement;
    QLineEdit *m_prefix;
    QComboBox *m_logLimit;
    QLineEdit *m_printTitle;
    QSpinBox *m_keepBackups;
    QSpinBox *m_reminderDays;
    QPushButton *m_defaults, *m_save, *m_close;
    bool m_adminFields = false;
};

} // namespace cg
