#!/usr/bin/env bash
# Builds a libFuzzer binary with clang (ASan + UBSan) and runs one target
# for a bounded time on a copy of its seed corpus.
# usage: run_fuzz.sh <source-dir> <work-dir> <binary> <target> <seconds>
set -euo pipefail
src=$1; work=$2; bin=$3; target=$4; secs=$5
mkdir -p "$work"
exe="$work/$bin"
lock="$work/$bin.lock"
(
  flock 9
  # Rebuild when any source is newer than the binary.
  # tail reads all of its input, so nothing upstream dies of SIGPIPE under pipefail.
  newest=$(find "$src/engine" "$src/host" "$src/serial" "$src/app" "$src/tests/support" "$src/tests/fuzz" \
             \( -name '*.cpp' -o -name '*.h' \) -printf '%T@ %p\n' | sort -n | tail -1 | cut -d' ' -f2-)
  if [ ! -x "$exe" ] || [ "$newest" -nt "$exe" ]; then
    case "$bin" in
      fuzz_engine)
        srcs=("$src"/engine/*.cpp "$src/host/headless_view.cpp" "$src/tests/fuzz/fuzz_engine.cpp")
        extra=(-lsimpleini) ;;
      fuzz_io)
        srcs=("$src"/serial/*.cpp "$src/app/settings_file.cpp" "$src/app/settings_io.cpp"
              "$src"/engine/*.cpp
              "$src/host/headless_view.cpp" "$src/tests/fuzz/fuzz_io.cpp")
        extra=($(pkg-config --cflags --libs Qt6Core) -lsimpleini -lgensio -lgensioosh -ludev) ;;
    esac
    clang++ -std=c++20 -O1 -g -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
      -I"$src" "${srcs[@]}" "${extra[@]}" -o "$exe.tmp"
    mv "$exe.tmp" "$exe"
  fi
) 9>"$lock"
corpus="$work/corpus-$target"
mkdir -p "$corpus"
cp -n "$src/tests/fuzz/corpus/$target/"* "$corpus/" 2>/dev/null || true
KD36_FUZZ_TARGET=$target "$exe" -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/" "$corpus" 2>&1 | tail -20
