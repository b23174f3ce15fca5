#!/usr/bin/env bash
# Checks a built Debian package without installing it on this machine: unpacks it into a scratch
# root (dpkg -x), checks its files, its desktop entry and metadata with their validators and its
# dependencies, and starts the unpacked program as a user whose data must land in the per-user folder.
#   scripts/check-deb.sh PACKAGE_FOLDER
set -euo pipefail
package=$(ls "${1:?the folder of the .deb}"/quillory_*.deb | head -n 1)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root="$scratch/root"
dpkg -x "$package" "$root"

fail() { echo "check-deb: $*" >&2; exit 1; }
for file in usr/bin/quillory usr/bin/quillory-cli usr/bin/quillory-branding \
            usr/share/applications/app.quillory.Quillory.desktop \
            usr/share/icons/hicolor/scalable/apps/app.quillory.Quillory.svg \
            usr/share/metainfo/app.quillory.Quillory.metainfo.xml \
            usr/share/man/man1/quillory-cli.1 usr/share/man/man1/quillory-branding.1; do
    [ -e "$root/$file" ] || fail "$file is missing"
done
desktop-file-validate "$root/usr/share/applications/app.quillory.Quillory.desktop"
appstreamcli validate --no-net --explain "$root/usr/share/metainfo/app.quillory.Quillory.metainfo.xml" >/dev/null ||
    appstreamcli validate --no-net "$root/usr/share/metainfo/app.quillory.Quillory.metainfo.xml"
depends=$(dpkg-deb -f "$package" Depends)
for library in libqt6widgets6 libqt6sql6-sqlite libssl3; do
    [[ $depends == *"$library"* ]] || fail "Depends does not name $library: $depends"
done
"$root/usr/bin/quillory-cli" --version >/dev/null || fail "quillory-cli does not start"

# The unpacked program, as a user: its data goes to the user's folder, never beside the executable.
home="$scratch/home"
mkdir -p "$home"
HOME="$home" XDG_DATA_HOME="$home/.local/share" QT_QPA_PLATFORM=offscreen "$root/usr/bin/quillory" \
    >/dev/null 2>&1 &
program=$!
for _ in $(seq 50); do
    [ -e "$home/.local/share/quillory/trends.sqlite" ] && break
    sleep 0.2
done
kill -TERM "$program"
wait "$program" || fail "the program did not end in order"
[ -e "$home/.local/share/quillory/trends.sqlite" ] || fail "the program kept no data in the user's folder"
[ -z "$(ls "$root/usr/bin" | grep -v '^quillory')" ] || fail "the program wrote beside its executable"
echo "check-deb: $(basename "$package") ($(du -h "$package" | cut -f1)) is whole, valid, and keeps its data in the user's folder"
