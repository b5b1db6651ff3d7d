#!/bin/sh
# How long `./setup.sh run` takes, on an up-to-date build, before it hands
# over to the window (the window's own start-up is `startup-process`).
# Times `./setup.sh build`, which is the same path without the window:
# median of 7 after one warm-up run (which builds the tool if needed).
#   BENCH setup-run-uptodate value=<ms> unit=ms limit=1000 ratio=<r> target=<1
# Fails when the median is 1 s or more, or when a timed run built anything.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KD36_BUILD_DIR:-build}
case $build in /*) ;; *) build=$root/$build ;; esac
"$root/setup.sh" build >/dev/null
before=$(stat -c %Y.%y "$build/.kd36-tool-built")
times=""
for i in 1 2 3 4 5 6 7; do
    s=$(date +%s%N)
    "$root/setup.sh" build >/dev/null
    e=$(date +%s%N)
    times="$times $(( (e - s) / 1000 ))"
done
after=$(stat -c %Y.%y "$build/.kd36-tool-built")
echo "# setup.sh build on an up-to-date tree (us):$times"
med=$(echo $times | tr ' ' '\n' | sort -n | sed -n 4p)
awk -v us="$med" 'BEGIN { printf "BENCH setup-run-uptodate value=%.4g unit=ms limit=1000 ratio=%.3f target=<1\n", us / 1000, us / 1000000 }'
if [ "$before" != "$after" ]; then
    echo "# a timed run rebuilt the tool: the tree changed while measuring"; exit 1
fi
[ "$med" -lt 1000000 ]
