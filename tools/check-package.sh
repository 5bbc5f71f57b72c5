#!/usr/bin/env bash
# Builds the Debian package from a finished build folder, unpacks it into a
# throwaway root and checks what an administrator would get: the fields and
# dependencies of the package, the installed programs starting with
# --version (no LD_LIBRARY_PATH, no display), the menu entry pointing at the
# installed program, the icons, and desktop-file-validate, appstreamcli and
# lintian on the result (each when installed).
#
#   tools/check-package.sh BUILD_FOLDER VERSION
set -euo pipefail

build=$(cd "$1" && pwd)
version=$2
id=cn.yanhechengyu.cgsys
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
checks=0
check() {   # check DESCRIPTION COMMAND...
  local what=$1
  shift
  checks=$((checks + 1))
  if "$@"; then
    echo "ok   $what"
  else
    echo "FAIL $what"
    failures=$((failures + 1))
  fi
}
contains() { grep -qF -- "$2" <<<"$1"; }

# The package, built outside the build folder so that parallel runs do not meet.
if ! "${CPACK:-cpack}" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL the package could not be built"
  exit 1
fi
grep -i "warning" "$work/cpack.log" || true
deb=$(find "$work/out" -maxdepth 1 -name '*.deb' | head -n 1)
check "one package was written" test -n "$deb"
[ -n "$deb" ] || exit 1
echo "package: $(basename "$deb") ($(du -h "$deb" | cut -f1))"

field() { dpkg-deb -f "$deb" "$1"; }
check "package name" test "$(field Package)" = cgsys
check "package version $version-1" test "$(field Version)" = "$version-1"
depends=$(field Depends)
recommends=$(field Recommends)
echo "Depends: $depends"
echo "Recommends: $recommends"
for dep in libqt6core6 libqt6gui6 libqt6widgets6 libqt6sql6 libqt6network6 libquazip1-qt6 \
           libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-odbc qt6-qpa-plugins qt6-translations-l10n \
           fonts-wqy-microhei; do
  check "depends on $dep" contains "$depends" "$dep"
done
for rec in unixodbc tdsodbc; do
  check "recommends $rec" contains "$recommends" "$rec"
  check "does not depend on $rec" bash -c '! grep -qE "(^|, )$1( |,|$)" <<<"$2"' _ "$rec" "$depends"
done
# No questions at install time: no debconf templates or config script.
dpkg-deb -e "$deb" "$work/control"
check "no debconf questions" test ! -e "$work/control/templates" -a ! -e "$work/control/config"
check "postinst is executable" test -x "$work/control/postinst"
check "postinst passes sh -n" sh -n "$work/control/postinst"

# The ODBC registration, against an empty driver list of its own: FreeTDS
# becomes "SQL Server" once, whether run at configure or by the trigger.
tds=$(find /usr/lib -path '*/odbc/libtdsodbc.so' 2>/dev/null | head -n 1)
if command -v odbcinst >/dev/null && [ -n "$tds" ]; then
  mkdir -p "$work/odbc"
  : >"$work/odbc/odbcinst.ini"
  ODBCSYSINI="$work/odbc" sh "$work/control/postinst" configure
  ODBCSYSINI="$work/odbc" sh "$work/control/postinst" triggered /usr/lib/odbc
  check "postinst registers FreeTDS as SQL Server" \
        env ODBCSYSINI="$work/odbc" odbcinst -q -d -n "SQL Server"
  check "postinst registers it once" test "$(grep -c '^\[SQL Server\]' "$work/odbc/odbcinst.ini")" -eq 1
  check "the driver is FreeTDS" grep -qF "Driver=$tds" "$work/odbc/odbcinst.ini"
else
  echo "skip the ODBC registration (unixodbc or tdsodbc not installed)"
fi

root="$work/root"
dpkg -x "$deb" "$root"
home="$work/home"
mkdir -p "$home"
run_installed() {   # the installed program as an administrator starts it
  env -u LD_LIBRARY_PATH HOME="$home" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home" \
      QT_QPA_PLATFORM=offscreen timeout 30 "$@"
}
check "cgsys --version" test "$(run_installed "$root/usr/bin/cgsys" --version)" = "cgsys $version"
check "cgsys-initdb --version" \
      test "$(run_installed "$root/usr/bin/cgsys-initdb" --version)" = "cgsys-initdb $version"
help=$(run_installed "$root/usr/bin/cgsys" --help)
check "cgsys --help names the support log" contains "$help" "$home/data/wkd/日志/cgsys.log"
check "the installed programs link no build folder" \
      bash -c '! env -u LD_LIBRARY_PATH ldd "$1" "$2" | grep -qF "$3"' _ \
      "$root/usr/bin/cgsys" "$root/usr/bin/cgsys-initdb" "$build"

desktop="$root/usr/share/applications/$id.desktop"
check "menu entry installed" test -f "$desktop"
entry() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }
exec_program=$(entry Exec | cut -d' ' -f1)
# A bare name is looked up in PATH, where the package puts it in /usr/bin.
case "$exec_program" in
  /*) installed="$root$exec_program" ;;
  *) installed="$root/usr/bin/$exec_program" ;;
esac
check "Exec ($exec_program) is the installed cgsys" test "$installed" -ef "$root/usr/bin/cgsys" -a -x "$installed"
check "TryExec names the same program" test "$(entry TryExec)" = "$exec_program"
check "Name[zh_CN]" test "$(entry 'Name\[zh_CN\]')" = "砚禾澄屿合同管理系统"
check "Categories" test "$(entry Categories)" = "Office;Finance;"
check "StartupWMClass is the window class cgsys" test "$(entry StartupWMClass)" = cgsys
icon=$(entry Icon)
check "scalable icon" test -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg"
for size in 48 128 256; do
  png="$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png"
  check "${size}x${size} icon" bash -c 'file "$1" | grep -q "PNG image data, $2 x $2"' _ "$png" "$size"
done
metainfo="$root/usr/share/metainfo/$id.metainfo.xml"
check "metainfo carries the release $version" grep -q "<release version=\"$version\"" "$metainfo"
check "metainfo names a screenshot" grep -q "<screenshot" "$metainfo"

if command -v desktop-file-validate >/dev/null; then
  check "desktop-file-validate" desktop-file-validate "$desktop"
else
  echo "skip desktop-file-validate (desktop-file-utils not installed)"
fi
if command -v appstreamcli >/dev/null; then
  check "appstreamcli validate --no-net" appstreamcli validate --no-net "$metainfo"
else
  echo "skip appstreamcli (appstream not installed)"
fi
if command -v lintian >/dev/null; then
  status=0
  lintian --allow-root --fail-on error "$deb" >"$work/lintian.log" 2>&1 || status=$?
  cat "$work/lintian.log"
  check "lintian: no errors" test "$status" -eq 0
else
  echo "skip lintian (not installed)"
fi

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
