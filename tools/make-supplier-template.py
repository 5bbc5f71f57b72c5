#!/usr/bin/env python3
# Builds suppliers/resources/supplier-template.xlsx, the empty supplier
# import workbook the entry window saves for the user (with openpyxl).
import sys
from openpyxl import Workbook

out = sys.argv[1] if len(sys.argv) > 1 else "suppliers/resources/supplier-template.xlsx"
wb = Workbook()
ws = wb.active
ws.title = "Sheet1"
ws.append(["单据状态", "名称", "电话", "联系人", "地址", "税率", "付款方式"])
ws.append(["未审核", "示例五金有限公司", "0571-88886666", "王经理", "浙江省杭州市西湖区文三路100号", "13%", "月结30天"])
for col in "BCDFG":
    ws.column_dimensions[col].width = 15.625
ws.column_dimensions["E"].width = 19.375
for row in ws.iter_rows(min_row=2, max_row=2):
    for cell in row:
        cell.number_format = "@"
wb.save(out)
