#!/usr/bin/env bash
# The Debian package: made by CPack from the build, unpacked into a scratch root (dpkg -x), its
# programs, icons, manual and menu entry in place and the entry valid for the desktop.
# Usage: package_test.sh BUILD_DIR CPACK. Exit 77 (skipped) where dpkg-deb is missing.
set -euo pipefail
build=$1
cpack=$2
if ! command -v dpkg-deb >/dev/null; then
  echo "dpkg-deb not found: package test skipped"
  exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$cpack" -G DEB -B "$tmp/out" --config "$build/CPackConfig.cmake" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; fail "cpack"; }
deb=$(ls "$tmp"/out/vask_*_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for d in fonts-liberation libqt6widgets6 libqt6printsupport6 qt6-qpa-plugins; do
  [[ $depends == *"$d"* ]] || fail "Depends lacks $d: $depends"
done

dpkg -x "$deb" "$tmp/root"
r=$tmp/root/usr
for f in bin/vask bin/vaskdb share/applications/vask.desktop share/man/man1/vaskdb.1 \
  share/icons/hicolor/scalable/apps/vask.svg; do
  [ -e "$r/$f" ] || fail "missing /usr/$f"
done
for s in 16 32 48 64 128 256; do
  png=$r/share/icons/hicolor/${s}x$s/apps/vask.png
  [ -e "$png" ] || fail "missing the ${s}x$s icon"
  # The PNG header's width and height (big-endian, bytes 16-23).
  size=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$size" = "${s}x$s" ] || fail "the ${s}x$s icon is $size"
done
"$r/bin/vaskdb" --help >/dev/null || fail "the installed vaskdb does not run"

entry=$r/share/applications/vask.desktop
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "desktop-file-validate"
else
  echo "note: desktop-file-validate not found (desktop-file-utils): entry not validated"
fi
mime=$(sed -n 's/^MimeType=//p' "$entry")
for m in application/vnd.ms-access application/x-msaccess; do
  [[ ";$mime" == *";$m;"* ]] || fail "MimeType lacks $m: $mime"
done
grep -qx 'Exec=vask %f' "$entry" || fail "Exec does not pass the file"
grep -qx 'Icon=vask' "$entry" || fail "Icon is not the installed one"
grep -q '^Categories=.*Office;.*Database;' "$entry" || fail "Categories"
if command -v man >/dev/null; then
  MANWIDTH=80 man --warnings -l "$r/share/man/man1/vaskdb.1" >/dev/null 2>"$tmp/man.err" || true
  [ ! -s "$tmp/man.err" ] || { cat "$tmp/man.err"; fail "the manual page has warnings"; }
fi
echo "package $(basename "$deb") ok"
