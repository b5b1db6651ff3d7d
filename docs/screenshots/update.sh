#!/bin/sh
# Redraws the README's pictures from the real windows, offscreen, with
# Debian's default fonts: DejaVu Sans (fonts-dejavu-core) and IPAGothic
# (fonts-ipafont-gothic) for Japanese. The same run checks that no caption
# is cut; it fails, and keeps the old pictures, when one is. The pictures
# are drawn in Japanese (the C locale, the tool's own language) and again
# in English into en/.
#   docs/screenshots/update.sh            (build folder: build/, or KD36_BUILD)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${KD36_BUILD:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target window_text_test spectrum_library_test -j2 >/dev/null

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# The platform's own fonts and scale, as a new user's desktop has them.
unset QT_FONT_DPI QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_QPA_PLATFORMTHEME
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$out"
unset LC_ALL LC_MESSAGES
names="main_window setting_panel_extended development_tab air_monitor terminal answer_back packet port_dialog about range_test"
for lang in ja en; do
    shots="$out/$lang"
    mkdir -p "$shots"
    locale=C.UTF-8
    [ "$lang" = en ] && locale=en_US.UTF-8
    LANG=$locale KD36_SHOT_DIR="$shots" "$build/bin/window_text_test" captionsFitInEveryWindow rangeTestPictureOnTheSimulator >"$out/log" 2>&1 ||
        { cat "$out/log"; exit 1; }
    LANG=$locale KD36_SHOT_DIR="$shots" "$build/bin/spectrum_library_test" >"$out/log" 2>&1 ||
        { cat "$out/log"; exit 1; }
    mv "$shots/spectrum.png" "$shots/air_monitor.png"
done
mkdir -p "$here/en"
for name in $names; do
    cp "$out/ja/$name.png" "$here/$name.png"
    cp "$out/en/$name.png" "$here/en/$name.png"
done
echo "docs/screenshots: pictures redrawn"
