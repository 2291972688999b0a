#!/usr/bin/env bash
# Runs every fuzz target of a libFuzzer build for a given time each, with its
# dictionary, on a scratch corpus seeded from the checked-in one. With
# --merge, the inputs that add coverage are merged back into
# fuzz/corpus/<name> (only those; the checked-in corpus stays small).
#
# usage: scripts/fuzz_long.sh [--merge] [--jobs N] BUILD_DIR SECONDS_PER_TARGET [TARGET...]
#   BUILD_DIR  a build of the fuzz preset (cmake --preset fuzz -B DIR &&
#              cmake --build DIR --target reader_fuzzers)
#   TARGET     names without the fuzz_ prefix; default every fuzz_* found
# Prints per target: executions, coverage (cov:, ft:), result; then the
# total. Exits nonzero when any target failed; its crash input is kept in
# the scratch folder named in the output.
set -uo pipefail

merge=0
jobs=1
while [ $# -gt 0 ]; do
  case $1 in
    --merge) merge=1; shift ;;
    --jobs) jobs=$2; shift 2 ;;
    -h|--help) sed -n 2,14p "$0"; exit 0 ;;
    *) break ;;
  esac
done
if [ $# -lt 2 ]; then
  sed -n 2,14p "$0" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
seconds=$2
shift 2
here=$(cd "$(dirname "$0")/.." && pwd)
corpora=$here/fuzz/corpus
dicts=$here/fuzz/dict
scratch=${FUZZ_LONG_SCRATCH:-$build/fuzz_long}

# Targets: the names given, or every fuzz_* executable in the build.
declare -A binary
while IFS= read -r path; do
  binary[$(basename "$path" | sed 's/^fuzz_//')]=$path
done < <(find "$build" -type f -name 'fuzz_*' -perm -u+x | sort)
if [ $# -gt 0 ]; then names=("$@"); else names=($(printf '%s\n' "${!binary[@]}" | sort)); fi
if [ ${#names[@]} -eq 0 ]; then
  echo "no fuzz_* executables under $build" >&2
  exit 2
fi

# A target's dictionary: the DICT its CMake call names.
dict_of() {
  local name=$1 file
  file=$(grep -rhoE "reader_fuzz_target\($name [^)]*DICT [^ )]+" "$here/fuzz" --include=CMakeLists.txt |
         sed -E 's/.*DICT ([^ )]+).*/\1/' | head -1)
  [ -n "$file" ] && [ -f "$here/fuzz/$file" ] && echo "$here/fuzz/$file"
}

total=0
failed=0
printf '%-24s %12s %8s %8s  %s\n' target executions cov ft result
for name in "${names[@]}"; do
  bin=${binary[$name]:-}
  if [ -z "$bin" ]; then
    printf '%-24s %12s %8s %8s  %s\n' "$name" - - - "no such target"
    failed=1
    continue
  fi
  work=$scratch/$name
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/artifacts"
  [ -d "$corpora/$name" ] && cp -r "$corpora/$name/." "$work/corpus/"
  args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$work/artifacts/")
  dict=$(dict_of "$name")
  [ -n "$dict" ] && args+=(-dict="$dict")
  if [ "$jobs" -gt 1 ]; then args+=(-fork="$jobs" -ignore_crashes=0); fi
  "$bin" "${args[@]}" "$work/corpus" > "$work/log" 2>&1
  status=$?
  execs=$(grep -E '^stat::number_of_executed_units' "$work/log" | awk '{s+=$2} END {print s+0}')
  last=$(grep -E '(DONE|pulse|NEW|REDUCE|INITED) +cov:' "$work/log" | tail -1)
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<< "$last")
  ft=$(sed -nE 's/.* ft: ([0-9]+).*/\1/p' <<< "$last")
  if [ $status -eq 0 ]; then
    result=ok
  else
    result="FAILED (exit $status; log $work/log, input in $work/artifacts)"
    failed=1
  fi
  total=$((total + execs))
  printf '%-24s %12s %8s %8s  %s\n' "$name" "$execs" "${cov:--}" "${ft:--}" "$result"
  if [ $merge -eq 1 ] && [ $status -eq 0 ]; then
    mkdir -p "$corpora/$name"
    "$bin" -merge=1 "$corpora/$name" "$work/corpus" > "$work/merge.log" 2>&1 ||
      echo "  merge into fuzz/corpus/$name failed: $work/merge.log"
  fi
done
echo "total executions: $total"
exit $failed
