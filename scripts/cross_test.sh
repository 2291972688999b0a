#!/usr/bin/env bash
# Cross-builds the library, the tools and the test suite for an ARM Linux
# target and runs the tests under qemu-user: every test program, the
# simulators on pseudo-terminals in the same emulated process, and the
# programs the tests start themselves (readerctl, reader-sim, the example),
# each through the emulator.
#
#   scripts/cross_test.sh ARCH [CTEST ARGUMENTS...]     ARCH: arm64 | armhf
#
# Configures build/ARCH with the ARCH preset when it is not configured yet,
# builds it and runs `ctest --preset ARCH` (which leaves out what cannot run
# or mean anything under emulation; see CMakePresets.json) with the further
# arguments given, e.g. `-L api` or `-R Scan`. Needs, on Debian 12:
#   apt-get install g++-aarch64-linux-gnu g++-arm-linux-gnueabihf qemu-user googletest
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  echo "usage: $0 arm64|armhf [ctest arguments...]" >&2
  exit 2
}
[ $# -ge 1 ] || usage
arch=$1
shift
case $arch in
  arm64) triplet=aarch64-linux-gnu emulator=qemu-aarch64 ;;
  armhf) triplet=arm-linux-gnueabihf emulator=qemu-arm ;;
  *) usage ;;
esac

missing=()
command -v "$triplet-g++" >/dev/null || missing+=("g++-$triplet")
command -v "$emulator" >/dev/null || missing+=(qemu-user)
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
if [ ${#missing[@]} -gt 0 ]; then
  echo "$0: missing: ${missing[*]} (apt-get install ${missing[*]})" >&2
  exit 1
fi

[ -f "build/$arch/CMakeCache.txt" ] || cmake --preset "$arch"
cmake --build --preset "$arch"
start=$(date +%s)
status=0
ctest --preset "$arch" "$@" || status=$?
echo "$arch: tests under $emulator took $(($(date +%s) - start)) s"
exit "$status"
