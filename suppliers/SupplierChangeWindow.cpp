#include "suppliers/SupplierChangeWindow.h"

#include "ui/Shell.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "suppliers/SupplierNames.h"
#include "suppliers/SupplierQueryWindow.h"
#include "ui/Seams.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace cg {

namespace {

bool isChange(SupplierEditMode mode) { return mode == SupplierEditMode::Change; }

QString modeName(SupplierEditMode mode)
{
    return isChange(mode) ? QStringLiteral("供应商变更") : QStringLiteral("供应商修改");
}

} // namespace

SupplierChangeWindow::SupplierChangeWindow(SupplierEditMode mode, const QString &name, int listRow,
                                           SupplierQueryWindow *query, QWidget *owner)
    : ChildWindow(modeName(mode), modeName(mode),
                  isChange(mode) ? QStringLiteral("打开供应商变更窗口") : QStringLiteral("打开供应商修改窗口"), QString(),
                  owner),
      m_mode(mode), m_inputs(this), m_query(query), m_row(listRow)
{
    setObjectName(QStringLiteral("供应商变更"));
    setAttribute(Qt::WA_DeleteOnClose);

    if (isChange(mode))
        for (QLineEdit *e : {m_inputs.name, m_inputs.address, m_inputs.telephone, m_inputs.contact})
            e->setEnabled(false);

    auto *fixedHint = new QLabel(QStringLiteral("所有字段必须录入，否则不予保存"), this);
    fixedHint->setObjectName(QStringLiteral("标签21"));
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("标签_提示"));
    QPushButton *ok = NamedButton(QStringLiteral("按钮_确定"), QStringLiteral("&S.确定"), this);
    QPushButton *closeButton = NamedButton(QStringLiteral("按钮_关闭"), QStringLiteral("&C.关闭"), this);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_hint, 1);
    buttons->addWidget(ok);
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 8);
    layout->addLayout(m_inputs.layout());
    layout->addSpacing(4);
    layout->addWidget(fixedHint);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(560, 160);

    connect(ok, &QPushButton::clicked, this, [this] { save(); });
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    m_loaded = Suppliers(Ctx().db()).load(name, m_old);
    if (!m_loaded)
        return;
    logOpened();
    m_inputs.name->setText(m_old.name);
    m_inputs.telephone->setText(m_old.telephone);
    m_inputs.contact->setText(m_old.contact);
    m_inputs.address->setText(m_old.address);
    SelectStoredValue(m_inputs.taxRate, m_old.taxRate);
    SelectStoredValue(m_inputs.paymentTerms, m_old.paymentTerms);
    m_shown = m_inputs.values();
    SetHint(m_hint, QStringLiteral(" 供应商名称不能重复，否则不予保存"), true);
}

void SupplierChangeWindow::save()
{
    if (!m_loaded)
        return;
    const SupplierRow now = m_inputs.values();
    Suppliers suppliers(Ctx().db(), Ctx().login.userName);
    const QString taken = QStringLiteral("此供应名称已经录入");
    if (suppliers.nameTakenByOther(now.name, m_old.name)) {
        ShowMessage(taken, QString(), MsgIcon::Information, this);
        return;
    }
    if (const Suppliers::Field empty = Suppliers::firstEmpty(now); empty != Suppliers::Field::None) {
        ShowMessage(EmptyFieldMessage(empty), QString(), MsgIcon::Information, this);
        return;
    }
    int matching = 0;
    bool all = false;
    Suppliers::Outcome outcome = suppliers.update(m_mode, m_old, now, false, &matching);
    if (outcome == Suppliers::Outcome::Several) {
        // Old data may hold the same supplier twice: all of them are saved, or none.
        if (!AskYesNo(Suppliers::severalQuestion(isChange(m_mode) ? QStringLiteral("变更") : QStringLiteral("修改"),
                                                 m_old.name, matching),
                      this))
            return;
        all = true;
        outcome = suppliers.update(m_mode, m_old, now, true);
    }
    switch (outcome) {
    case Suppliers::Outcome::Done:
        break;
    case Suppliers::Outcome::Exists:
        // Another workstation took the name after the first test.
        ShowMessage(taken, QString(), MsgIcon::Information, this);
        return;
    case Suppliers::Outcome::NotFound:
    case Suppliers::Outcome::Several:
    case Suppliers::Outcome::Failed:
        SetHint(m_hint, QStringLiteral("保存失败！"), false);
        ShowMessage(QStringLiteral("保存失败！"), QString(), MsgIcon::Error, this);
        return;
    }
    if (m_query)
        m_query->supplierSaved(m_row, m_old, now, m_mode, all);
    SetHint(m_hint, QStringLiteral("保存成功！"), true);
    SupplierNames::refresh();
    ShowMessage(QStringLiteral("保存成功！"), QString(), MsgIcon::Information, this);
    m_quiet = true;
    close();
}

bool SupplierChangeWindow::hasUnsavedChanges() const
{
    if (!m_loaded || m_quiet || isHidden())
        return false;
    return !(m_inputs.values() == m_shown);
}

bool SupplierChangeWindow::confirmDiscard()
{
    if (!hasUnsavedChanges())
        return true;
    raise();
    activateWindow();
    return AskYesNo(modeName(m_mode) + QStringLiteral("窗口中的修改还没有保存，是否放弃这些修改？"), this);
}

void SupplierChangeWindow::closeEvent(QCloseEvent *event)
{
    if (!m_quiet && m_loaded)
        WriteLogEntry(QStringLiteral("结束"),
                      isChange(m_mode) ? QStringLiteral("关闭供应商变更窗口") : QStringLiteral("关闭供应商修改窗口"),
                      module());
    m_quiet = true;   // once only
    ChildWindow::closeEvent(event);
}

} // namespace cg
