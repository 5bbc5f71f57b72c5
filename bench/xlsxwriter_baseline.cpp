// Baseline of the export figures: the same contract list written by a bare
// libxlsxwriter loop in constant-memory mode, with the same formats (title
// row text format, bold, thin grey borders, light fill, width 20, height
// 18; data cells text format). Built apart from the program: libxlsxwriter's
// zip functions clash with those of Qt's zip library.
//
//   build/bench/xlsxwriter_baseline [rows] [file]
#include "bench_data.h"

#include <xlsxwriter.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char *argv[])
{
    const long rows = argc > 1 ? std::atol(argv[1]) : 100000;
    const std::string path = argc > 2 ? argv[2] : "/tmp/xlsxwriter_baseline.xlsx";
    // The texts exist before the clock starts, as a list's texts do.
    std::vector<std::string> cells;
    cells.reserve(size_t(rows) * bench::kColumns);
    for (long r = 0; r < rows; ++r)
        for (int c = 0; c < bench::kColumns; ++c)
            cells.push_back(bench::cell(r, c));

    const auto start = std::chrono::steady_clock::now();
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *book = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    lxw_format *title = workbook_add_format(book);
    format_set_num_format(title, "@");
    format_set_bold(title);
    format_set_border(title, LXW_BORDER_THIN);
    format_set_border_color(title, 0xC5C5C5);
    format_set_bg_color(title, 0xE5F9F9);
    lxw_format *text = workbook_add_format(book);
    format_set_num_format(text, "@");
    worksheet_set_column(sheet, 0, bench::kColumns - 1, 20, nullptr);
    worksheet_set_row(sheet, 0, 18, nullptr);
    for (int c = 0; c < bench::kColumns; ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), bench::kTitles[c], title);
    for (long r = 0; r < rows; ++r) {
        for (int c = 0; c < bench::kColumns; ++c) {
            const std::string &s = cells[size_t(r) * bench::kColumns + size_t(c)];
            if (s.empty())
                worksheet_write_blank(sheet, lxw_row_t(r + 1), lxw_col_t(c), text);
            else
                worksheet_write_string(sheet, lxw_row_t(r + 1), lxw_col_t(c), s.c_str(), text);
        }
    }
    const lxw_error error = workbook_close(book);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    if (error != LXW_NO_ERROR) {
        std::printf("libxlsxwriter failed: %s\n", lxw_strerror(error));
        return 1;
    }
    std::printf("baseline_export_ms=%lld\n", static_cast<long long>(ms.count()));
    return 0;
}
