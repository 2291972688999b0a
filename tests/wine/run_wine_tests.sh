#!/usr/bin/env bash
# Runs the Windows build's test programs (and readerctl.exe) under Wine
# against the device simulators of the Linux build.
#
#   tests/wine/run_wine_tests.sh WINDOWS_BUILD_DIR READER_SIM
#
# Everything lives under WINDOWS_BUILD_DIR/wine-tests: a private Wine prefix
# (no display: the "null" graphics driver; no sound driver) and two links,
# ports/com1 and ports/com2, that the prefix's COM1 and COM2 are mapped to.
# Each device set-up starts reader-sim and points the links at its
# pseudo-terminals; a link pointing nowhere is a port that cannot be opened.
#
# Wine gives every COM port it is not told about a /dev/ttyS* device of its
# own accord, and /dev/ttyS0 may be the machine's console: COM1 and COM2 are
# mapped before any program of ours runs, the mapping is checked, every
# other port's /dev/ttyS* link is removed while the tests run, and none is
# left behind.
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 WINDOWS_BUILD_DIR READER_SIM" >&2
  exit 2
fi
win_build=$(cd "$1" && pwd)
reader_sim=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
bin_dir="$win_build/src"
work="$win_build/wine-tests"
ports="$work/ports"
mkdir -p "$ports"

export WINEPREFIX="$work/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY
wine=wine
[ -x /usr/lib/wine/wine64 ] && wine=/usr/lib/wine/wine64

sim_pid=""
stop_sim() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
  fi
}

# Removes every link of the prefix that points at a serial device of this
# machine; prints what it removed.
unmap_machine_ports() {
  local link target
  for link in "$WINEPREFIX"/dosdevices/com*; do
    [ -L "$link" ] || continue
    target=$(readlink "$link")
    case "$target" in
      /dev/ttyS*|/dev/ttyUSB*|/dev/ttyACM*|/dev/ttyAMA*)
        rm -f "$link"
        echo "wine: unmapped $(basename "$link") from $target"
        ;;
    esac
  done
}

finish() {
  local status=$?
  stop_sim
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w 2>/dev/null || true
  [ -d "$WINEPREFIX/dosdevices" ] && unmap_machine_ports >/dev/null
  exit $status
}
trap finish EXIT

point_port() {  # point_port N PATH|""
  local link="$ports/com$1"
  rm -f "$link"
  if [ -n "$2" ]; then ln -s "$2" "$link"; else ln -s "$work/no-device" "$link"; fi
}

# ---- the DLL's exports: the API functions by name, nothing else ----------
objdump=x86_64-w64-mingw32-objdump
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
expected=$(sed -n 's/^  \([A-Za-z_][A-Za-z0-9_]*\)$/\1/p' "$source_dir/src/3100XE_DLL.def" | sort)
actual=$("$objdump" -p "$bin_dir/3100XE_DLL.dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
         sed -n 's/^[[:space:]]*\[ *[0-9]*\] \([A-Za-z_][A-Za-z0-9_]*\)$/\1/p' | sort)
if [ -z "$actual" ] || [ "$expected" != "$actual" ]; then
  echo "exports: 3100XE_DLL.dll does not export exactly the names of src/3100XE_DLL.def" >&2
  diff <(echo "$expected") <(echo "$actual") >&2 || true
  exit 1
fi
for name in $expected; do
  grep -Eq "(^|[[:space:]])$name\(" "$source_dir/include/3100XE_DLL.h" || { echo "exports: $name is not declared" >&2; exit 1; }
done
echo "exports: $(echo "$expected" | wc -l) names, as listed in src/3100XE_DLL.def"

# ---- the prefix, mapped before anything else runs in it -------------------
point_port 1 ""
point_port 2 ""
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine: preparing the prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
wine_reg() { "$wine" reg "$@" >/dev/null 2>&1; }
wine_reg add 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f
wine_reg add 'HKCU\Software\Wine\Drivers' /v Audio /t REG_SZ /d "" /f
wine_reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$ports/com1" /f
wine_reg add 'HKLM\Software\Wine\Ports' /v COM2 /t REG_SZ /d "$ports/com2" /f
# A program that crashes ends at once, with a failure, instead of waiting
# for a debugger.
wine_reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d "" /f
# The port mapping is read when the server starts.
wineserver -k >/dev/null 2>&1 || true
wineserver -w
# One persistent server for the whole run: its port links are made once.
wineserver -p >/dev/null 2>&1
for attempt in 1 2 3; do
  "$wine" cmd /c exit >/dev/null 2>&1 && break
  sleep 1
done
unmap_machine_ports
for n in 1 2; do
  target=$(readlink "$WINEPREFIX/dosdevices/com$n" || true)
  if [ "$target" != "$ports/com$n" ]; then
    echo "wine: COM$n of the prefix points at '$target', not at $ports/com$n: stopping" >&2
    exit 1
  fi
done
if ls -l "$WINEPREFIX"/dosdevices/ | grep -q -- '-> /dev/tty'; then
  echo "wine: a COM port of the prefix still points at a serial device of this machine: stopping" >&2
  exit 1
fi
echo "wine: COM1 -> $ports/com1, COM2 -> $ports/com2; no port on a machine device"

# ---- the runs ---------------------------------------------------------------
failed=0

# start_sim ARGS...: starts reader-sim and points COM1 and COM2 at it.
start_sim() {
  stop_sim
  local env
  env=$("$reader_sim" --daemon "$@")
  eval "$env"
  sim_pid=$READER_SIM_PID
  point_port 1 "${READER_COM1:-}"
  point_port 2 "${READER_COM2:-}"
}

run() {  # run NAME PROGRAM ARGS...
  local name=$1
  shift
  echo "=== $name"
  if timeout 120 "$wine" "$@"; then
    echo "=== $name: passed"
  else
    echo "=== $name: FAILED"
    failed=$((failed + 1))
  fi
}

barcode=WINE0123
tag=04A1B2C3
for setup in "2 5" "3 6" "4 0" "0 6" "0 0"; do
  set -- $setup
  sim_args=(--engine="$1" --module="$2")
  [ "$1" != 0 ] && sim_args+=(--steady="code39:$barcode")
  [ "$2" != 0 ] && sim_args+=(--tag="mifare:$tag")
  start_sim "${sim_args[@]}"
  run "engine $1, module $2" "$bin_dir/wine_api_test.exe" "$1" "$2" "$barcode" "$tag"
done

start_sim --engine=3 --module=6 --steady="code39:$barcode"
run "unload with threads running" "$bin_dir/wine_unload_test.exe"

# Many rounds, so the module that starts fastest.
start_sim --engine=0 --module=6 --tag="mifare:$tag"
run "unload at once after the start" "$bin_dir/wine_unload_test.exe" at-once 20
run "unload at once after an announced read" "$bin_dir/wine_unload_test.exe" after-decode 10

start_sim --engine=2 --module=0 --steady="code39:$barcode"
run "a self-triggered decode the window never takes" "$bin_dir/wine_stalled_window_test.exe"

# A process that ends without HaltReader: the program creates its mark just
# before it returns from main or calls ExitProcess, and from then it has
# exit_limit seconds to be gone, with the status it chose (0 after a return,
# 3 after ExitProcess). A hang guard, not a speed target: a teardown that
# waits for a thread the system has already ended never returns.
exit_limit=15
run_to_exit() {  # run_to_exit NAME STATUS MARK PROGRAM ARGS...
  local name=$1 expected=$2 mark=$3
  shift 3
  echo "=== $name"
  rm -f "$mark"
  timeout 300 "$wine" "$@" &
  local program=$! status=0 left=""
  for _ in $(seq 1 1200); do
    [ -e "$mark" ] && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
  if [ -e "$mark" ]; then
    local since
    since=$(date +%s%N)
    for _ in $(seq 1 $((exit_limit * 10))); do
      kill -0 "$program" 2>/dev/null || { left=yes; break; }
      sleep 0.1
    done
    [ -n "$left" ] && echo "timing: gone $((($(date +%s%N) - since) / 1000000)) ms after leaving main"
  fi
  if [ -z "$left" ] && kill -0 "$program" 2>/dev/null; then
    echo "still running: $([ -e "$mark" ] && echo "$exit_limit s after leaving main" || echo "never left main")"
    kill "$program" 2>/dev/null || true
    sleep 1
    kill -KILL "$program" 2>/dev/null || true
  fi
  wait "$program" || status=$?
  if [ -n "$left" ] && [ "$status" -eq "$expected" ]; then
    echo "=== $name: passed"
  else
    echo "exit status $status, expected $expected"
    echo "=== $name: FAILED"
    failed=$((failed + 1))
  fi
}

# ENGINE MODULE: each device alone, the two pairs; then with nothing in view,
# leaving while the cycles wait on the devices.
mark="$work/exit.mark"
for setup in "2 0" "3 0" "4 0" "0 5" "0 6" "3 6" "2 5" "3 6 idle" "4 5 idle"; do
  set -- $setup
  sim_args=(--engine="$1" --module="$2")
  shown_barcode=- shown_tag=-
  if [ -z "${3:-}" ]; then
    [ "$1" != 0 ] && sim_args+=(--steady="code39:$barcode") && shown_barcode=$barcode
    [ "$2" != 0 ] && sim_args+=(--tag="mifare:$tag") && shown_tag=$tag
  fi
  what="engine $1, module $2${3:+, mid-cycle}"
  for how in return exit; do
    start_sim "${sim_args[@]}"
    status=0
    [ "$how" = exit ] && status=3
    run_to_exit "$what: $how without HaltReader" "$status" "$mark" \
      "$bin_dir/wine_exit_test.exe" "$how" "$1" "$2" "$shown_barcode" "$shown_tag" "Z:$mark"
  done
done

# The engine's device goes away while a scan cycle waits on it: the program
# marks when its cycle is under way, and the simulator is ended then.
start_sim --engine=3 --module=0
mark="$work/vanish.mark"
rm -f "$mark"
echo "=== an engine that vanishes mid-cycle"
timeout 120 "$wine" "$bin_dir/wine_api_test.exe" vanish "Z:$mark" &
program=$!
for _ in $(seq 1 600); do
  [ -e "$mark" ] && break
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
stop_sim
if wait "$program"; then
  echo "=== an engine that vanishes mid-cycle: passed"
else
  echo "=== an engine that vanishes mid-cycle: FAILED"
  failed=$((failed + 1))
fi

if [ -f "$win_build/tools/cli/readerctl.exe" ]; then
  start_sim --engine=4 --module=5
  echo "=== readerctl.exe info"
  if out=$(timeout 120 "$wine" "$win_build/tools/cli/readerctl.exe" info 2>&1) && echo "$out" | grep -q "kind 4"; then
    echo "$out"
    echo "=== readerctl.exe info: passed"
  else
    echo "$out"
    echo "=== readerctl.exe info: FAILED"
    failed=$((failed + 1))
  fi
fi
stop_sim

if [ "$failed" -ne 0 ]; then
  echo "wine: $failed run(s) failed"
  exit 1
fi
echo "wine: all runs passed"
