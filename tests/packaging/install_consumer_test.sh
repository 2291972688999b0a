#!/usr/bin/env bash
# Installs the build tree into a staging prefix and builds a consumer against
# it twice, through pkg-config and through find_package; both must run and
# print the module's version text. Everything it writes stays in WORK.
#
# usage: install_consumer_test.sh BUILD_DIR WORK C_COMPILER C_FLAGS LINK_FLAGS
# (C_FLAGS and LINK_FLAGS are the library's own, so a sanitizer build's
# runtime is linked into the consumers too.)
set -euo pipefail
build=$1 work=$2 cc=$3 cflags=$4 ldflags=$5
command -v pkg-config >/dev/null || { echo "pkg-config is not installed: skipped"; exit 77; }
here=$(cd "$(dirname "$0")" && pwd)
expected=2.00.0027

fail() { echo "FAILED: $*"; exit 1; }

rm -rf "$work"
mkdir -p "$work"
stage=$work/stage
cmake --install "$build" --prefix "$stage" >"$work/install.log" 2>&1 \
  || { cat "$work/install.log"; fail "cmake --install"; }

libdir=$(dirname "$(find "$stage" -name reader3100xe.pc -print -quit)")
[ -d "$libdir" ] || fail "no reader3100xe.pc under $stage"
libdir=$(dirname "$libdir")
for f in "$stage/include/3100XE_DLL.h" "$libdir/lib3100XE_DLL.so" "$stage/bin/readerctl" \
         "$stage/bin/reader-sim"; do
  [ -e "$f" ] || fail "not installed: ${f#"$stage"/}"
done
# The installed tool finds the module beside it without help.
"$stage/bin/readerctl" --help >/dev/null || fail "installed readerctl --help exited with $?"
export LD_LIBRARY_PATH=$libdir

check() {
  local out
  out=$("$1") || fail "$1 exited with $?"
  [ "$out" = "$expected" ] || fail "$1 printed '$out', expected '$expected'"
}

# pkg-config, as a makefile would use it.
pc=$(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --cflags --libs reader3100xe) \
  || fail "pkg-config does not know reader3100xe"
# shellcheck disable=SC2086
"$cc" $cflags "$here/consumer/main.c" -o "$work/consumer-pc" $ldflags $pc
check "$work/consumer-pc"

# find_package, with only the staging prefix to search.
cmake -S "$here/consumer" -B "$work/consumer-cmake" -DCMAKE_PREFIX_PATH="$stage" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$cflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF >"$work/consumer-cmake.log" 2>&1 \
  || { cat "$work/consumer-cmake.log"; fail "consumer configure"; }
cmake --build "$work/consumer-cmake" >>"$work/consumer-cmake.log" 2>&1 \
  || { cat "$work/consumer-cmake.log"; fail "consumer build"; }
check "$work/consumer-cmake/consumer"

echo "both consumers print $expected"
