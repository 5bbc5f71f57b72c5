#!/usr/bin/env bash
# Each folder includes only itself and the folders below it. Run by ctest.
# Usage: check-layers.sh [source-dir]
set -u
cd "${1:-$(dirname "$0")/..}" || exit 2
declare -A allowed=(
  [data]="data"
  [spreadsheet]="spreadsheet"
  [ui]="ui data spreadsheet"
  [masterdata]="masterdata ui data"
  [users]="users ui data"
  [suppliers]="suppliers masterdata ui data spreadsheet"
  [contracts]="contracts suppliers masterdata ui data spreadsheet"
  [logview]="logview ui data spreadsheet"
  [backup]="backup ui data"
  [promotion]="promotion backup ui data spreadsheet"
  [reports]="reports contracts suppliers masterdata ui data spreadsheet"
  [spend]="spend contracts suppliers masterdata ui data spreadsheet"
  [app]="app contracts suppliers masterdata users logview backup promotion reports spend ui data spreadsheet"
  [tools]="data"
)
widgets='#include <(QtWidgets/|QtGui/)?(QWidget|QMessageBox|QAction|QMenu|QComboBox|QApplication|QGuiApplication|QDialog|QLabel|QLineEdit|QTableWidget|QTreeWidget|QPushButton|QMainWindow|QtWidgets|QPixmap|QImage|QFont)>'
bad=0
for dir in "${!allowed[@]}"; do
  [ -d "$dir" ] || continue
  while IFS= read -r line; do
    file=${line%%:*}
    inc=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"${line#*:}")
    case " ${allowed[$dir]} " in
      *" $inc "*) ;;
      *) echo "layer: $file includes $inc/ (allowed: ${allowed[$dir]})"; bad=1 ;;
    esac
  done < <(grep -rHE '^\s*#include "[^/"]+/' "$dir" --include='*.cpp' --include='*.h')
done
for dir in data spreadsheet; do
  [ -d "$dir" ] || continue
  if grep -rnE "$widgets" "$dir" --include='*.cpp' --include='*.h'; then
    echo "layer: $dir/ uses widgets or pictures"
    bad=1
  fi
done
if [ -d spreadsheet ] && grep -rnE '#include <(QSql|QtSql)' spreadsheet; then
  echo "layer: the spreadsheet engine uses the database"
  bad=1
fi
[ $bad -eq 0 ] && echo "layers: 1 passed, 0 failed" || echo "layers: 0 passed, 1 failed"
exit $bad
