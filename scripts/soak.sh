#!/usr/bin/env bash
# Soak and concurrency stress: builds what each needs, runs it and prints the
# figures the tests report ("SOAK ..." and "STRESS ..." lines): cycles,
# decodes sent and announced, memory, descriptors and threads at the start,
# at the early checkpoint and at the end, and durations.
#
#   scripts/soak.sh [soak|stress|all]      (default: all)
#
# The soak uses the dev preset (optimised, no sanitizer, so the memory
# figures mean something); the stress uses the tsan preset. Environment:
#   SOAK_BUILD_DIR, STRESS_BUILD_DIR   build directories (default: the presets')
#   SOAK_JOBS                          soak tests run at once (default 3; they
#                                      mostly wait on the protocols' pauses)
#   SOAK_KIND2_CYCLES, SOAK_KIND3_CYCLES, SOAK_KIND4_CYCLES,
#   SOAK_MODULE5_CYCLES, SOAK_MODULE6_CYCLES, SOAK_INIT_MODULE_CYCLES,
#   SOAK_INIT_ENGINE_CYCLES, SOAK_LOAD_CYCLES, STRESS_SECONDS
#                                      shorter runs (defaults: the full run)
set -euo pipefail
cd "$(dirname "$0")/.."

what=${1:-all}
soak_dir=${SOAK_BUILD_DIR:-build/dev}
stress_dir=${STRESS_BUILD_DIR:-build/tsan}
status=0

# Runs the tests of one label in a build directory, keeping the whole output
# in a log; the preset's own settings apply where the directory is its own.
run_label() {
  local preset=$1 dir=$2 label=$3 jobs=$4 log=$5
  if [ "$dir" = "build/$preset" ]; then
    ctest --preset "$label" -j "$jobs" -V >"$log" 2>&1 || return 1
  else
    ctest --test-dir "$dir" -L "^${label%-tsan}\$" -j "$jobs" --timeout 3600 -V >"$log" 2>&1 || return 1
  fi
}

# The figures from a log, one run after another, and ctest's verdict.
figures() {
  local prefix=$1 log=$2
  grep -o "${prefix} .*" "$log" | sort -s -k2,2 || true
  grep -E "tests passed|tests failed|Total Test time" "$log" || true
}

if [ "$what" = soak ] || [ "$what" = all ]; then
  cmake --preset dev -B "$soak_dir" >/dev/null
  cmake --build "$soak_dir" --target soak_tests soak_unload_tests -j2
  log="$soak_dir/soak.log"
  echo "== soak (log: $log)"
  start=$(date +%s)
  run_label dev "$soak_dir" soak "${SOAK_JOBS:-3}" "$log" || status=1
  figures SOAK "$log"
  echo "soak wall time: $(($(date +%s) - start)) s"
fi

if [ "$what" = stress ] || [ "$what" = all ]; then
  cmake --preset tsan -B "$stress_dir" >/dev/null
  cmake --build "$stress_dir" --target stress_tests -j2
  log="$stress_dir/stress.log"
  echo "== stress under ThreadSanitizer (log: $log)"
  start=$(date +%s)
  TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1} \
    run_label tsan "$stress_dir" stress-tsan 1 "$log" || status=1
  figures STRESS "$log"
  grep -m5 -A20 "WARNING: ThreadSanitizer" "$log" || true
  echo "stress wall time: $(($(date +%s) - start)) s"
fi

exit $status
