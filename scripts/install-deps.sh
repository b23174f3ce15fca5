#!/usr/bin/env bash
# Installs the Debian packages that Quillory needs to build, run and test, and only those that are
# missing. Runs as root, or through sudo when it is there.
set -euo pipefail

# p7zip-full: the cipher tests check the branding files against a ZIP tool's AES encryption.
# libicu-dev: the lists sort with ICU's collation keys.
# qt6-base-dev brings Qt Concurrent too (libqt6concurrent6), on whose thread pool the lists sort,
# and Qt SQL; libqt6sql6-sqlite is its SQLite driver, which keeps the history of trends, and
# qt6-charts-dev draws that history (its CMake files need libqt6opengl6-dev, which it does not pull in).
# qt6-svg-dev draws the program's icon. dpkg-dev (dpkg-shlibdeps), desktop-file-utils and appstream
# make and check the Debian package.
# clang with its runtime (libclang-rt-14-dev) builds the fuzz targets with libFuzzer; clang-format
# checks the layout of the sources. sqlite3 (the command line) runs the history's import beside ours
# in bench/ledger.sh, as the reference of that benchmark.
packages=(cmake make g++ pkg-config qt6-base-dev qt6-base-dev-tools qcoro-qt6-dev libssl-dev libicu-dev
          libgl-dev fonts-dejavu-core fonts-liberation2 python3 openssl p7zip-full libqt6sql6-sqlite
          qt6-charts-dev libqt6opengl6-dev qt6-svg-dev clang libclang-rt-14-dev clang-format
          dpkg-dev desktop-file-utils appstream sqlite3)

# Packages named on the command line are wanted too (make screenshots asks for its own).
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "These packages are missing and I am neither root nor able to use sudo: ${missing[*]}" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if ! "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"; then
    "${as_root[@]}" apt-get update
    "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
