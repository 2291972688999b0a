#!/usr/bin/env bash
# Runs one libFuzzer target for a fixed time on a scratch copy of its
# checked-in corpus (new inputs land in the build tree, never in the sources).
# usage: run_fuzz_target.sh TARGET SECONDS SEED_CORPUS WORK_DIR [DICT]
set -euo pipefail
target=$1 seconds=$2 seeds=$3 work=$4 dict=${5:-}
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
      -artifact_prefix="$work/artifacts/")
[ -n "$dict" ] && args+=(-dict="$dict")
exec "$target" "${args[@]}" "$work/corpus" "$seeds"
