#!/usr/bin/env bash
# The spreadsheet and log window figures side by side, in one run:
#   1. exporting a contract list: our writer against a bare libxlsxwriter
#      loop in constant-memory mode, same texts and formats;
#   2. reading that workbook back: our reader against openpyxl in read-only
#      mode (Debian's python3-openpyxl), every cell of every row;
#   3. the system log window on a log of a million entries.
# Usage: bench/run-sheet-bench.sh [build-dir] [rows] [log-entries]
# Figures are printed, not checked.
set -euo pipefail
build=${1:-build}
rows=${2:-100000}
entries=${3:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

value() { sed -n "s/^$1=//p" "$2" | head -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

"$build/bench/bench_spreadsheet" "$rows" "$work/ours.xlsx" > "$work/ours.txt"
if [ -x "$build/bench/xlsxwriter_baseline" ]; then
  "$build/bench/xlsxwriter_baseline" "$rows" "$work/baseline.xlsx" > "$work/baseline.txt"
  base_ms=$(value baseline_export_ms "$work/baseline.txt")
else
  echo "(xlsxwriter_baseline not built: libxlsxwriter was not found by pkg-config)"
  base_ms=0
fi
/usr/bin/python3 - "$work/ours.xlsx" > "$work/openpyxl.txt" <<'PY'
import sys, time, openpyxl
start = time.perf_counter()
cpu = time.process_time()
book = openpyxl.load_workbook(sys.argv[1], read_only=True)
cells = 0
for row in book.worksheets[0].iter_rows(values_only=True):
    for value in row:
        cells += 1
book.close()
print("openpyxl_read_ms=%d" % ((time.perf_counter() - start) * 1000))
print("openpyxl_read_cpu_ms=%d" % ((time.process_time() - cpu) * 1000))
print("openpyxl_cells=%d" % cells)
PY
QT_QPA_PLATFORM=offscreen "$build/bench/bench_logview" "$entries" 2>/dev/null > "$work/log.txt"

ours_ms=$(value export_ms "$work/ours.txt")
read_ms=$(value read_ms "$work/ours.txt")
py_ms=$(value openpyxl_read_ms "$work/openpyxl.txt")
read_cpu_ms=$(value read_cpu_ms "$work/ours.txt")
py_cpu_ms=$(value openpyxl_read_cpu_ms "$work/openpyxl.txt")
echo "workbook: $rows rows x $(value columns "$work/ours.txt") text columns, $(value export_file_kb "$work/ours.txt") kB"
printf '%-34s %12s %14s %10s\n' "" "ours" "other" "ours/other"
printf '%-34s %9s ms %11s ms %10s   (other: libxlsxwriter, constant memory; goal <= 1.25)\n' \
  "export" "$ours_ms" "$base_ms" "$(ratio "$ours_ms" "$base_ms")"
printf '%-34s %9s ms %11s ms %10s   (other: openpyxl read-only, %s cells; goal <= 0.10)\n' \
  "import (read every cell)" "$read_ms" "$py_ms" "$(ratio "$read_ms" "$py_ms")" "$(value openpyxl_cells "$work/openpyxl.txt")"
printf '%-34s %9s ms %11s ms %10s   (processor time, steadier on a shared machine; goal <= 0.10)\n' \
  "import, processor time" "$read_cpu_ms" "$py_cpu_ms" "$(ratio "$read_cpu_ms" "$py_cpu_ms")"
printf '%-34s %9s ms  (%s)\n' "import of slow styles and sheets" "$(value slow_parts_ms "$work/ours.txt")" \
  "$(value slow_parts "$work/ours.txt")"
printf '%-34s %9s kB (export), %s kB (import), before: %s kB\n' "peak memory" \
  "$(value export_peak_kb "$work/ours.txt")" "$(value read_peak_kb "$work/ours.txt")" "$(value base_kb "$work/ours.txt")"
echo
echo "system log window: $(value entries "$work/log.txt") entries (seeded in $(value seed_ms "$work/log.txt") ms)"
printf '%-34s %9s ms  (%s)\n' "first screen, the whole year" "$(value year_first_screen_ms "$work/log.txt")" \
  "$(value year_count "$work/log.txt")"
printf '%-34s %9s ms  (%s)\n' "first screen, one week" "$(value week_first_screen_ms "$work/log.txt")" \
  "$(value week_count "$work/log.txt")"
printf '%-34s %9s ms  (%s)\n' "first screen, IP地址 condition" "$(value condition_first_screen_ms "$work/log.txt")" \
  "$(value condition_count "$work/log.txt")"
printf '%-34s %9s ms  (%s pages, %s rows)\n' "paging through the whole year" "$(value page_all_ms "$work/log.txt")" \
  "$(value pages "$work/log.txt")" "$(value paged_rows "$work/log.txt")"
printf '%-34s %9s kB after the first screen, %s kB after every page, before: %s kB\n' "peak memory" \
  "$(value first_screen_peak_kb "$work/log.txt")" "$(value paged_peak_kb "$work/log.txt")" "$(value base_kb "$work/log.txt")"
