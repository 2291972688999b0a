#!/usr/bin/env bash
# Line and branch coverage of the library sources under the test suite.
#
#   scripts/coverage.sh [ctest arguments...]
#
# Configures and builds the `coverage` preset (gcc, -O0 --coverage), zeroes
# the counters, runs `ctest --preset coverage` with any extra arguments
# (e.g. `-L core`, `-R Lifecycle`, `-E '^fuzz_'`; the preset's own label
# filter, which leaves out soak and stress, takes the place of any -LE),
# then prints line and branch coverage per folder of src/ and for src/ as a
# whole. The full report, file by file and line by line, goes to
# build/coverage/coverage-html/index.html.
#
# Branch figures leave out the branches gcc adds for exception unwinding and
# those it marks unreachable (gcovr --exclude-throw-branches and
# --exclude-unreachable-branches): they are not decisions of ours and no test
# can take them. src/platform/win32/ is not built on this host and is left
# out. Needs gcovr (Debian/Ubuntu: apt-get install gcovr; else pip install
# gcovr); the script installs nothing itself.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/coverage"
cd "$root"

if ! command -v gcovr >/dev/null 2>&1; then
  echo "coverage.sh: gcovr not found; install it (apt-get install gcovr, or pip install gcovr)" >&2
  exit 2
fi
if ! command -v python3 >/dev/null 2>&1; then
  echo "coverage.sh: python3 not found (gcovr needs it too)" >&2
  exit 2
fi

cmake --preset coverage
cmake --build --preset coverage

# Counters from an earlier run would add to this one.
find "$build" -name '*.gcda' -delete

test_status=0
ctest --preset coverage "$@" || test_status=$?

# gcc of the build writes the notes; its own gcov must read them.
gcov_tool=gcov
compiler=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")
version=$("$compiler" -dumpversion 2>/dev/null | cut -d. -f1 || true)
if [ -n "$version" ] && command -v "gcov-$version" >/dev/null 2>&1; then
  gcov_tool="gcov-$version"
fi

summary="$build/coverage-summary.json"
html_dir="$build/coverage-html"
rm -rf "$html_dir"
mkdir -p "$html_dir"
gcovr --root "$root" --object-directory "$build" "$build" \
  --gcov-executable "$gcov_tool" -j 2 \
  --filter 'src/' --exclude 'src/platform/win32/' \
  --exclude-directories '.*/CMakeFiles/[0-9][0-9.]*' \
  --exclude-directories '.*/tests/packaging' \
  --exclude-throw-branches --exclude-unreachable-branches \
  --json-summary "$summary" \
  --html-details "$html_dir/index.html" \
  >/dev/null

# One row per folder; the platform interface headers directly in
# src/platform/ count as a folder of their own.
python3 - "$summary" <<'PY'
import json, os, sys
from collections import OrderedDict

files = json.load(open(sys.argv[1]))["files"]
order = ["src/api", "src/core", "src/settings", "src/rfid",
         "src/platform/posix", "src/platform/common", "src/platform"]
rows = OrderedDict((name, [0, 0, 0, 0]) for name in order)
for f in files:
    folder = os.path.dirname(f["filename"])
    row = rows.setdefault(folder, [0, 0, 0, 0])
    row[0] += f["line_covered"]; row[1] += f["line_total"]
    row[2] += f["branch_covered"]; row[3] += f["branch_total"]

def pct(hit, total):
    return "   -  " if total == 0 else "%5.1f%%" % (100.0 * hit / total)

print()
print("%-22s %16s %7s %16s %7s" % ("folder", "lines", "", "branches", ""))
total = [0, 0, 0, 0]
for name, r in rows.items():
    if r[1] == 0 and r[3] == 0:
        continue
    total = [a + b for a, b in zip(total, r)]
    print("%-22s %7d / %6d %7s %7d / %6d %7s" % (
        name, r[0], r[1], pct(r[0], r[1]), r[2], r[3], pct(r[2], r[3])))
print("%-22s %7d / %6d %7s %7d / %6d %7s" % (
    "src/ (total)", total[0], total[1], pct(total[0], total[1]),
    total[2], total[3], pct(total[2], total[3])))
PY

echo
echo "branches exclude exception-unwinding and unreachable branches"
echo "report: $html_dir/index.html"
if [ "$test_status" -ne 0 ]; then
  echo "coverage.sh: ctest reported failures (status $test_status); figures cover the tests that ran" >&2
fi
exit "$test_status"
