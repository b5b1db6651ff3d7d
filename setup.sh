#!/usr/bin/env bash
# Installs what is missing, builds, then starts the tool (run) or runs
# every test (test). Works as root or through sudo on Debian 12.
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libsimpleini-dev
          libgtest-dev libgmock-dev fonts-ipafont-gothic clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q "${missing[@]}"
fi

build=${KD36_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${KD36_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"

case "${1:-run}" in
  run)
    exec "$build/bin/kd36setup" ;;
  test)
    cd "$build"
    exec ctest --output-on-failure -j"$(nproc)" ${KD36_CTEST_ARGS:-} ;;
  build)
    ;;
  *)
    echo "usage: $0 [run|test|build]" >&2; exit 2 ;;
esac
