#pragma once
// The texts of the spreadsheet benchmarks: a contract list of 21 columns,
// made the same way by our bench and by the libxlsxwriter baseline (which
// must not link Qt's zip library, so this header is plain C++).
#include <cstdio>
#include <string>

namespace bench {

constexpr int kColumns = 21;
inline const char *const kTitles[kColumns] = {
    "单据状态", "合同编号", "申请人", "申请部门", "采购员", "供应商", "产品", "设备数量", "计量单位", "制单日期",
    "生效日期", "失效日期", "合同总金额", "付款方式", "第一次付款", "第二次付款", "第三次付款", "第四次付款",
    "剩余尾款", "税率", "附件"};

// UTF-8 text of row r (from 0), column c.
inline std::string cell(long r, int c)
{
    char buf[96];
    switch (c) {
    case 0: return "已审核";
    case 1: std::snprintf(buf, sizeof buf, "KQLM%ld", 2024000000L + r / 3); return buf;
    case 2: return "张三";
    case 3: return "采购部";
    case 4: return "李四";
    case 5: std::snprintf(buf, sizeof buf, "砚禾澄屿设备有限公司%ld", r % 500); return buf;
    case 6: std::snprintf(buf, sizeof buf, "工业控制器 型号 X-%ld", r); return buf;
    case 8: return "台";
    case 9: case 10: case 11: return "2024-03-01";
    case 13: return "月结30天";
    case 19: return "13%";
    case 20: return r % 4 ? "" : "有附件";
    default: std::snprintf(buf, sizeof buf, "%ld.50", (r * 37 + c * 11) % 100000); return buf;
    }
}

} // namespace bench
