#!/bin/sh
# examples/scan_print against reader-sim, run as an integrator runs the two:
# the simulator as a separate process found through its environment lines,
# barcodes given on its command line and through its control FIFO, and the
# example pressing the trigger itself (--press), for want of a key driver.
#
# usage: scan_print_test.sh READER_SIM SCAN_PRINT
set -eu
sim=$1
app=$2
work=$(mktemp -d)
READER_SIM_PID=
trap 'if [ -n "$READER_SIM_PID" ]; then kill "$READER_SIM_PID"; fi; rm -rf "$work"' EXIT

fail() {
  echo "FAILED: $*"
  exit 1
}

# An SSI engine already at its working speed starts at once.
eval "$("$sim" --daemon --engine=3 --engine-speed=115200 --module=0 \
  --barcode=code128:FIRST '--barcode=ean13:4006381333931')"
[ -n "$READER_SIM_PID" ] || fail "reader-sim did not start"
echo 'barcode qr:from the FIFO' > "$READER_SIM_CONTROL"

# Three decodes, each output record on its own line, then a clean exit.
status=0
timeout 60 "$app" --press 3 > "$work/out" || status=$?
[ "$status" -eq 0 ] || fail "scan_print --press 3 exited with $status"
printf 'FIRST\n4006381333931\nfrom the FIFO\n' > "$work/expected"
cmp -s "$work/out" "$work/expected" || fail "printed: $(cat "$work/out")"

# Without a count it runs until SIGTERM, then halts the reader and exits 0.
echo 'steady code39:AGAIN' > "$READER_SIM_CONTROL"
"$app" --press > "$work/steady" &
app=$!
tries=0
until [ -s "$work/steady" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 600 ]; then
    kill -KILL "$app"
    fail "no decode within 60 s"
  fi
  sleep 0.1
done
kill -TERM "$app"
status=0
wait "$app" || status=$?
[ "$status" -eq 0 ] || fail "scan_print exited with $status after SIGTERM"
grep -qv '^AGAIN$' "$work/steady" && fail "printed: $(cat "$work/steady")"
echo "scan_print: 2 passed, 0 failed"
