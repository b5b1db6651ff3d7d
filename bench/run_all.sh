#!/bin/sh
# Builds the benchmarks in Release and runs every one; one line per figure:
#   BENCH <name> value=<v> unit=<u> limit=<l> ratio=<r> target=<t>
# Lines starting with '#' are diagnostics. About five minutes.
# KD36_BENCH_BIN=<path to kd36bench> skips the build (the `bench` target).
# KD36_BENCH_QUICK=1 shortens the long runs (for trying the script only).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
bin=${KD36_BENCH_BIN:-}
if [ -z "$bin" ]; then
    build=${KD36_BENCH_BUILD:-$root/build-bench}
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" --target kd36bench -j"$(nproc)" >/dev/null
    bin=$build/bin/kd36bench
fi
export QT_QPA_PLATFORM=offscreen
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d); export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
comm_s=60; idle_s=20
if [ "${KD36_BENCH_QUICK:-0}" = 1 ]; then comm_s=5; idle_s=5; fi

status=0
"$bin" settings -v || status=1
"$bin" comm 38400 "$comm_s" || status=1
"$bin" comm 115200 "$comm_s" || status=1
"$bin" idle "$idle_s" || status=1
"$bin" idle-open "$idle_s" || status=1
# The idle figures under a real X server too (Debian package xvfb).
if command -v xvfb-run >/dev/null 2>&1; then
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "$bin" idle "$idle_s" || status=1
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "$bin" idle-open "$idle_s" || status=1
else
    echo "# idle under X skipped: xvfb-run not found (apt-get install xvfb)"
fi
"$bin" backlog 3 || status=1
"$bin" startup 10 || status=1
"$bin" ctl 10 || status=1
"$bin" turnaround 20 || status=1
"$bin" range 1000 || status=1
# A read through ser2net (RFC 2217) against a direct pty; says so and passes
# when ser2net is not installed.
if [ -x "$(dirname "$bin")/kd36netbench" ]; then "$(dirname "$bin")/kd36netbench" 20 || status=1; fi
exit $status
