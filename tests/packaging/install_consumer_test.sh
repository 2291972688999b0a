#!/usr/bin/env bash
# Installs the build tree into a staging prefix and builds a consumer against
# it twice, through pkg-config and through find_package; both must run and
# print the module's version text. Then it makes the Debian packages with
# cpack, checks how they are split, and builds the same two consumers against
# the files of the -dev and runtime packages unpacked into a folder (exit 77
# after the installed-tree part where cpack or dpkg-deb is missing).
# Everything it writes stays in WORK.
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
         "$stage/bin/reader-sim" "$stage/bin/readerd" "$stage/lib/systemd/system/readerd.service" \
         "$stage/lib/systemd/system/readerd.socket" "$stage/lib/udev/rules.d/60-reader3100xe.rules" \
         "$stage/lib/sysusers.d/readerd.conf" "$stage/etc/readerd.conf"; do
  [ -e "$f" ] || fail "not installed: ${f#"$stage"/}"
done
# The installed tools find the module beside them without help.
"$stage/bin/readerctl" --help >/dev/null || fail "installed readerctl --help exited with $?"
"$stage/bin/readerd" --help >/dev/null || fail "installed readerd --help exited with $?"
export LD_LIBRARY_PATH=$libdir

check() {
  local out
  out=$("$1") || fail "$1 exited with $?"
  [ "$out" = "$expected" ] || fail "$1 printed '$out', expected '$expected'"
}

# The consumer built and run both ways against one tree: as a makefile
# would, with the flags pkg-config gave ($3), and through find_package with
# only prefix $2 to search. $1 tells the builds apart ("" or "-deb").
consumers() {
  local tag=$1 prefix=$2 pc=$3 dir=$work/consumer$1-cmake
  # shellcheck disable=SC2086
  "$cc" $cflags "$here/consumer/main.c" -o "$work/consumer$tag-pc" $ldflags $pc
  check "$work/consumer$tag-pc"
  cmake -S "$here/consumer" -B "$dir" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$cflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF >"$dir.log" 2>&1 \
    || { cat "$dir.log"; fail "consumer configure against $prefix"; }
  cmake --build "$dir" >>"$dir.log" 2>&1 || { cat "$dir.log"; fail "consumer build against $prefix"; }
  check "$dir/consumer"
}

pc=$(PKG_CONFIG_PATH=$libdir/pkgconfig pkg-config --cflags --libs reader3100xe) \
  || fail "pkg-config does not know reader3100xe"
consumers "" "$stage" "$pc"

echo "both consumers print $expected against the installed tree"

# ---- The packages ------------------------------------------------------
cpack=$(dirname "$(command -v cmake)")/cpack
if [ ! -x "$cpack" ] || ! command -v dpkg-deb >/dev/null; then
  echo "cpack or dpkg-deb is not installed: packages skipped"
  exit 77
fi
packages=$work/packages
"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$packages" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; fail "cpack"; }

deb() {  # the one package file named $1_*
  local files=("$packages"/"$1"_*.deb)
  [ "${#files[@]}" -eq 1 ] && [ -f "${files[0]}" ] || fail "no package $1 (or more than one)"
  echo "${files[0]}"
}
runtime=$(deb lib3100xe-dll2) dev=$(deb lib3100xe-dll-dev)
tools=$(deb reader3100xe-tools) sim=$(deb reader3100xe-sim) daemon=$(deb reader3100xe-daemon)
for dbgsym in lib3100xe-dll2 reader3100xe-tools reader3100xe-sim reader3100xe-daemon; do
  ls "$packages/$dbgsym-dbgsym_"*.ddeb >/dev/null 2>&1 || fail "no debug symbols package for $dbgsym"
done

# Each package's paths, read whole first (grep -q would cut a pipe short).
contents() { local list; list=$(dpkg-deb -c "$1") || fail "dpkg-deb -c $1"; awk '{print $6}' <<<"$list" | sed 's|^\./||'; }
runtime_files=$(contents "$runtime") dev_files=$(contents "$dev")
# The runtime holds the versioned module only; its link and header are -dev's.
grep -Eq '^usr/lib/([^/]+/)?lib3100XE_DLL\.so\.2$' <<<"$runtime_files" \
  || fail "runtime package lacks lib3100XE_DLL.so.2"
grep -Ev '/$|^usr/(lib/([^/]+/)?lib3100XE_DLL\.so\.2[.0-9]*|share/doc/lib3100xe-dll2/.*)$' \
  <<<"$runtime_files" && fail "runtime package holds more than the module"
grep -Eq '^usr/lib/([^/]+/)?lib3100XE_DLL\.so$' <<<"$dev_files" || fail "-dev lacks the link"
grep -q '^usr/include/3100XE_DLL.h$' <<<"$dev_files" || fail "-dev lacks the header"
grep -q '^usr/share/man/man3/3100XE_DLL.3.gz$' <<<"$dev_files" || fail "-dev lacks the manual page"
grep -q '^usr/bin/readerctl$' <<<"$(contents "$tools")" || fail "tools package lacks readerctl"
grep -q '^usr/bin/reader-sim$' <<<"$(contents "$sim")" || fail "simulator package lacks reader-sim"
# The service's package: the program, where systemd, udev and sysusers look,
# its configuration as a conffile, and the scripts that make its user.
daemon_files=$(contents "$daemon")
for f in usr/bin/readerd usr/lib/systemd/system/readerd.service usr/lib/systemd/system/readerd.socket \
         usr/lib/udev/rules.d/60-reader3100xe.rules usr/lib/sysusers.d/readerd.conf etc/readerd.conf \
         usr/share/man/man8/readerd.8.gz; do
  grep -qx "$f" <<<"$daemon_files" || fail "reader3100xe-daemon lacks $f"
done
control=$work/daemon-control
rm -rf "$control"
dpkg-deb -e "$daemon" "$control"
[ "$(cat "$control/conffiles")" = /etc/readerd.conf ] || fail "/etc/readerd.conf is not the daemon's conffile"
for script in postinst prerm postrm; do
  [ -x "$control/$script" ] || fail "reader3100xe-daemon has no executable $script"
  sh -n "$control/$script" || fail "reader3100xe-daemon's $script is not valid sh"
done
for package in "$runtime" "$dev" "$tools" "$sim" "$daemon"; do
  name=$(dpkg-deb -f "$package" Package)
  grep -qx "usr/share/doc/$name/copyright" <<<"$(contents "$package")" || fail "$name has no copyright file"
done
# -dev, the tools and the service need exactly this runtime.
version=$(dpkg-deb -f "$runtime" Version)
for package in "$dev" "$tools" "$daemon"; do
  grep -qF "lib3100xe-dll2 (= $version)" <<<"$(dpkg-deb -f "$package" Depends)" \
    || fail "$(dpkg-deb -f "$package" Package) does not depend on lib3100xe-dll2 (= $version)"
done

root=$work/unpacked
rm -rf "$root"
for package in "$runtime" "$dev" "$tools" "$sim" "$daemon"; do dpkg-deb -x "$package" "$root"; done
module=$(find "$root" -name lib3100XE_DLL.so.2 -print -quit)
[ -n "$module" ] || fail "no lib3100XE_DLL.so.2 unpacked"
# Stripped: the debug information is in the -dbgsym package.
if command -v readelf >/dev/null && grep -q '\.debug_info' <<<"$(readelf -S "$module")"; then
  fail "the packaged module is not stripped"
fi
pcdir=$(dirname "$(find "$root" -name reader3100xe.pc -print -quit)")
export LD_LIBRARY_PATH=$(dirname "$module")
"$root/usr/bin/readerctl" --help >/dev/null || fail "packaged readerctl --help exited with $?"
"$root/usr/bin/readerd" --help >/dev/null || fail "packaged readerd --help exited with $?"

# pkg-config against the unpacked -dev files (the .pc finds its prefix from
# its own place).
pc=$(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs reader3100xe) \
  || fail "pkg-config does not know the -dev package's reader3100xe"
case $pc in *"$root"*) ;; *) fail "pkg-config points outside the unpacked packages: $pc" ;; esac
consumers -deb "$root/usr" "$pc"

echo "both consumers print $expected against the -dev package's files too"
