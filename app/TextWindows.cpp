#include "app/TextWindows.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

namespace cg {

QStringList HelpLines()
{
    return {
        QStringLiteral(" 1、账套管理只有admin（管理员）才有权限修改或新增。"),
        QStringLiteral(" 2、导入合同或供应商时导入的模板不能选错，合同的字段较多供应商的字段较少，并且在保存时会阻止重复编号，如果没有模板可在录入界面下载。"),
        QStringLiteral(" 3、在添加合同时在供应商字段输入供应商名字中的关键字按回车键就可以快速定位出相关供应商全称。"),
        QStringLiteral(" 4、合同管理系统可以在系统配置里面设置背景图片。默认加载背景，不使用默认背景在系统设置里点击“清除”按钮，点击“恢复默认”按钮并保存后加载默认背景。"),
        QStringLiteral(" 5、合同编号和账套管理只有管理员才可设置。"),
        QStringLiteral(" 6、如果合同录入时如果有多个产品必须点击鼠标右键，选择[增加一行]按钮，反之点击[删除一行]。"),
        QStringLiteral(" 7、要删除某份合同的某个产品可以在合同查询里点击右键，选择修改，在合同修改窗口里的产品名称上点击鼠标右键，选择[删除]按钮即可。"),
        QStringLiteral(" 8、在合同查询窗口右上角的有查找功能，需要先过滤出数据后才能查找到想要的数据。"),
        QStringLiteral(" 9、本系统合同录入窗口里的[检查号]和合同查询里的[标识]不做任何凭证。 "),
    };
}

namespace {
struct Release {
    const char *title;
    const char *version;
    const char *date;
    QList<QPair<const char *, QStringList>> sections;
    bool blankBeforeSeparator;
};

QList<Release> releases()
{
    const char *now = "砚禾澄屿合同管理系统";
    const char *old = "采购合同管理系统";
    auto L = [](std::initializer_list<const char *> lines) {
        QStringList out;
        for (const char *l : lines)
            out << QString::fromUtf8(l);
        return out;
    };
    return {
        {now, "2.5.2.2", "2020.07.10",
         {{"BUG修复", L({"修复设置里面的合同编号获取错误。"})}, {"改进", L({"减少杀毒软件误报。"})}}, true},
        {now, "2.5.2.1", "2020.01.03",
         {{"BUG修复", L({"修复合同查询按申请人过滤时结果不全的问题。"})}}, false},
        {now, "2.5.2", "2020.01.02",
         {{"新增", L({"合同查询增加按供应商过滤。"})}, {"改进", L({"导出表格时显示进度。"})}}, false},
        {now, "2.5.1", "2019.12.19",
         {{"BUG修复", L({"修复合同附件较大时预览失败的问题。", "修复日志导出后文件被占用的问题。"})}}, false},
        {now, "2.5", "2019.11.07",
         {{"新增", L({"合同可以附加PDF电子档并预览。"})}, {"改进", L({"系统名称更新。"})}}, false},
        {old, "2.4", "2019.06.27",
         {{"改进", L({"供应商查询支持按名称查找。"})}}, false},
        {old, "2.3", "2019.06.25",
         {{"新增", L({"供应商变更和修改。"})}, {"BUG修复", L({"修复供应商重复录入的问题。"})}}, false},
        {old, "2.2", "2019.04.19",
         {{"新增", L({"系统日志可以导出和清除。"})}}, false},
        {old, "2.1", "2019.03.11",
         {{"BUG修复", L({"修复合同变更后剩余尾款计算错误。"})}}, false},
        {old, "2.1", "2019.03.08",
         {{"新增", L({"合同变更和修改窗口。"})}, {"改进", L({"合同查询按合同分组显示。"})}}, false},
        {old, "2.0.0.1", "2019.02.28",
         {{"BUG修复", L({"修复账套切换后合同编号不连续的问题。"})}}, false},
        {old, "2.0.0.0", "2019.02.27",
         {{"新增", L({"账套管理，每个账套有自己的合同表。", "系统配置窗口。"})}}, false},
        {old, "1.0.0.6", "2019.02.14",
         {{"增减", L({"用户权限增加导入和导出。"})}}, false},
        {old, "1.0.0.5", "2019.02.13",
         {{"新增", L({"合同和供应商从表格导入。"})}}, false},
        {old, "1.0.0.4", "2019.01.28",
         {{"改进", L({"合同录入时按关键字定位供应商。"})}, {"移除", L({"移除打印预览。"})}}, false},
        {old, "1.0.0.3", "2019.01.27",
         {{"新增", L({"合同审核和反审。"})}}, false},
        {old, "1.0.0.2", "2019.01.25",
         {{"BUG修复", L({"修复登录时账套列表为空的问题。"})}, {"移除项", L({"移除旧的数据备份功能。"})}}, false},
        {old, "1.0.0.1", "2019.01.24",
         {{"改进", L({"操作日志记录机器名和IP地址。"})}}, false},
        {old, "1.0.0.0", "2019.01.24",
         {{"新增", L({"合同录入、查询，供应商录入、查询，基础资料，用户管理。"})}}, false},
    };
}
} // namespace

QString UpdateHistoryText()
{
    const QString crlf = QStringLiteral("\r\n");
    const QString separator(46, u'-');
    QString text = crlf;
    for (const Release &r : releases()) {
        text += QString::fromUtf8(r.title) + QStringLiteral("  ") + QString::fromUtf8(r.version)
            + QStringLiteral("版-") + QString::fromUtf8(r.date) + crlf;
        for (const auto &section : r.sections) {
            text += QString::fromUtf8(section.first) + crlf;
            int n = 1;
            for (const QString &line : section.second)
                text += QStringLiteral("%1、").arg(n++) + line + crlf;
        }
        if (r.blankBeforeSeparator)
            text += crlf;
        text += separator + crlf;
    }
    return text;
}

static QTextEdit *makeEditor(QWidget *parent)
{
    auto *edit = new QTextEdit(parent);
    edit->setObjectName(QStringLiteral("超级编辑框1"));
    edit->setReadOnly(true);
    auto *layout = new QVBoxLayout(parent);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit);
    return edit;
}

HelpWindow::HelpWindow(QWidget *owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("系统帮助"));
    setWindowTitle(WindowTitle(QStringLiteral("系统帮助")));
    resize(640, 420);
    m_edit = makeEditor(this);
    m_edit->setAccessibleName(QStringLiteral("简易帮助信息"));
    m_edit->setPlainText(QStringLiteral("简易帮助信息\n") + HelpLines().join(u'\n'));
    QTextCursor c(m_edit->document()->firstBlock());
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    c.mergeBlockFormat(centred);
}

UpdateHistoryWindow::UpdateHistoryWindow(QWidget *owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("更新记录"));
    setWindowTitle(WindowTitle(QStringLiteral("更新记录")));
    resize(560, 480);
    m_edit = makeEditor(this);
    m_edit->setAccessibleName(QStringLiteral("更新记录"));
    QString text = UpdateHistoryText();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_edit->setPlainText(text);
}

} // namespace cg
