#!/usr/bin/env bash
# ./setup.sh run    installs what building and running the tool needs, builds
#                   only the tool and its display library, starts the window
# ./setup.sh test   installs the test tools too, builds everything, runs every test
# ./setup.sh build  as run, without starting the window
# Works on Debian 12 as root or through sudo. KD36_BUILD_DIR (default build),
# KD36_CMAKE_ARGS and KD36_CTEST_ARGS are passed on.
set -euo pipefail
# Few processes on the way to an up-to-date window: each costs a start.
case $0 in */*) cd "${0%/*}" ;; esac

mode=${1:-run}
case "$mode" in
  run|build|test) ;;
  *) echo "usage: $0 [run|test|build]" >&2; exit 2 ;;
esac

# Building and running the window. qt6-base-dev brings moc/uic and the
# window-system plugins; qt6-l10n-tools and qt6-tools-dev compile the English
# translation into the build (lrelease, and lupdate for the test); the
# Japanese font is for the window's texts; gensio for network serial ports,
# libudev for adapter identity and hot-plug.
run_packages=(cmake g++ make qt6-base-dev qt6-l10n-tools qt6-tools-dev libsimpleini-dev libgensio-dev
              libudev-dev fonts-ipafont-gothic)
# Only for the tests: test libraries, clang for fuzzing and the sanitizer
# builds, Debian's own checks of the package, ser2net for the network-port
# tests and xvfb for the idle figures under a real X server.
test_packages=(libgtest-dev libgmock-dev pkg-config clang libclang-rt-14-dev
               dpkg-dev file lintian desktop-file-utils appstream ser2net xvfb)

build=${KD36_BUILD_DIR:-build}
stamp=$build/.kd36-tool-built

# Up to date: the last build of the tool is newer than every file it is made
# from, so the window starts at once, with no configure step and no build.
tool_is_fresh() {
  [ -x "$build/bin/kd36setup" ] && [ -f "$build/bin/libanalyze32.so" ] && [ -f "$stamp" ] || return 1
  local newer rel=${build#"$PWD"/}
  rel=${rel#./}
  newer=$(find . \( -name .git -o -path "./build*" -o -path "./$rel" -o -path ./tests \
                    -o -path ./bench -o -path ./docs -o -path ./.ci -o -name '*.md' \) -prune \
                 -o -newer "$stamp" -print -quit)
  [ -z "$newer" ]
}

install_missing() {
  local missing=() p
  # One query for all: dpkg-query prints nothing for a package it does not know.
  local installed
  installed=$(dpkg-query -W -f='${Package} ${db:Status-Abbrev}\n' "$@" 2>/dev/null || true)
  for p in "$@"; do
    grep -qxF "$p ii " <<<"$installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  local as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1 || ! sudo -v; then
      echo "setup.sh: root is needed to install ${missing[*]}; run this script as root," \
           "or install sudo, or have an administrator run: apt-get install ${missing[*]}" >&2
      exit 1
    fi
    as_root=(sudo)
  fi
  "${as_root[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

case "$mode" in
  run|build)
    if ! tool_is_fresh; then
      install_missing "${run_packages[@]}"
      # A build folder of its own is configured once, without tests or
      # benchmarks; one configured by `test` is used as it stands.
      if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
              -DKD36_BUILD_TESTS=OFF -DKD36_BUILD_BENCH=OFF ${KD36_CMAKE_ARGS:-} >/dev/null
      fi
      cmake --build "$build" -j"$(nproc)" --target kd36setup analyze32
      touch "$stamp"
    fi
    [ "$mode" = build ] || exec "$build/bin/kd36setup"
    ;;
  test)
    install_missing "${run_packages[@]}" "${test_packages[@]}"
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DKD36_BUILD_TESTS=ON -DKD36_BUILD_BENCH=ON ${KD36_CMAKE_ARGS:-} >/dev/null
    cmake --build "$build" -j"$(nproc)"
    touch "$stamp"
    cd "$build"
    exec ctest --output-on-failure -j"$(nproc)" ${KD36_CTEST_ARGS:-}
    ;;
esac
