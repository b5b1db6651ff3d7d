#!/bin/sh
# Builds the Debian package as the README does (Release, prefix /usr, only
# what the package installs) and puts it through Debian's own checks:
# lintian, desktop-file-validate, appstreamcli validate. Any error or
# warning fails.
# usage: check_package.sh <source-dir> <work-dir>
set -eu
src=$1
work=$2
build=$work/build
root=$work/root
mkdir -p "$work"

launcher=""
if command -v ccache >/dev/null 2>&1; then
  launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
fi
# shellcheck disable=SC2086
# -Werror: the packaged build is as free of warnings as the others.
cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DCMAKE_CXX_FLAGS=-Werror -DCMAKE_C_FLAGS=-Werror \
      -DKD36_BUILD_TESTS=OFF -DKD36_BUILD_BENCH=OFF $launcher >/dev/null
targets="kd36setup analyze32 kd36_docs"
if cmake --build "$build" --target help | grep -q '^\.\.\. kd36ctl$'; then
  targets="$targets kd36ctl"
fi
# shellcheck disable=SC2086
cmake --build "$build" -j"$(nproc)" --target $targets >/dev/null
rm -f "$build"/kd36setup_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/kd36setup_*.deb)
echo "package: $deb"

status=0
fail() { echo "FAIL: $*"; status=1; }

echo "--- lintian"
# lintian warns when run as root (as CI does); that line is not about the package.
lintian --fail-on error,warning "$deb" >"$work/lintian.txt" 2>&1 || fail "lintian"
grep -v '^running with root privileges' "$work/lintian.txt" || true

rm -rf "$root"
dpkg-deb -x "$deb" "$root"

echo "--- depends"
# The captions need a Japanese font even where recommends are not installed.
dpkg-deb -f "$deb" Depends | grep -q 'fonts-ipafont-gothic' || fail "Depends: no Japanese font"

echo "--- desktop-file-validate"
desktop="$root/usr/share/applications/kd36setup.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
# The menu shows Name where no translation matches: English, the Japanese one for ja.
grep -q '^Name=KD-36 Setup$' "$desktop" || fail "desktop entry: Name is not the English name"
grep -q '^Name\[ja\]=' "$desktop" || fail "desktop entry: no Name[ja]"

echo "--- appstreamcli validate"
# No network here: the homepage and screenshot addresses are not fetched.
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || fail "appstreamcli validate"

echo "--- contents"
for size in 16 32 48 64 128 256; do
  [ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/kd36setup.png" ] || fail "no ${size}px icon"
done
[ -f "$root/usr/share/icons/hicolor/scalable/apps/kd36setup.svg" ] || fail "no scalable icon"
for exe in "$root"/usr/bin/*; do
  [ -f "$root/usr/share/man/man1/$(basename "$exe").1.gz" ] || fail "no manual page for $(basename "$exe")"
done
[ -f "$root/usr/share/doc/kd36setup/copyright" ] || fail "no copyright file"
[ -f "$root/usr/share/bash-completion/completions/kd36ctl" ] || fail "no bash completion for kd36ctl"
bash -n "$root/usr/share/bash-completion/completions/kd36ctl" || fail "bash completion: syntax"

[ $status -eq 0 ] && echo "package checks passed"
exit $status
