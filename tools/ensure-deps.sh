#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# and registers FreeTDS as the ODBC driver "SQL Server". Does nothing when
# everything is already there.
set -euo pipefail

PKGS=(cmake g++ make pkg-config
      qt6-base-dev qt6-5compat-dev qt6-pdf-dev qt6-charts-dev libqt6opengl6-dev libqt6sql6-sqlite libqt6sql6-odbc libqt6sql6-psql
      postgresql python3 python3-openpyxl
      qt6-translations-l10n libgl-dev libxkbcommon-dev libx11-dev libxcb1-dev
      libquazip1-qt6-dev libexpat1-dev libxlsxwriter-dev libsqlite3-dev libpq-dev libssl-dev
      fonts-wqy-microhei
      tdsodbc unixodbc unixodbc-dev
      xvfb xauth
      dpkg-dev file librsvg2-bin desktop-file-utils appstream lintian)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The program asks ODBC for the driver "SQL Server"; on Linux that is FreeTDS.
if ! odbcinst -q -d -n "SQL Server" >/dev/null 2>&1; then
  drv=$(find /usr/lib -name libtdsodbc.so 2>/dev/null | head -n 1)
  if [ -n "$drv" ]; then
    tmp=$(mktemp)
    printf '[SQL Server]\nDescription=FreeTDS as SQL Server driver\nDriver=%s\nUsageCount=1\n' "$drv" > "$tmp"
    $SUDO odbcinst -i -d -f "$tmp" >/dev/null
    rm -f "$tmp"
  fi
fi
