#!/bin/sh
# The module exports exactly the names of the version script, and the public
# header declares each of them.
set -eu
module="$1"; map="$2"; header="$3"
expected=$(sed -n 's/^ *\([A-Za-z_][A-Za-z0-9_]*\);$/\1/p' "$map" | sort)
actual=$(nm -D --defined-only "$module" | awk '{print $3}' | sed 's/@.*//' | sort)
if [ "$expected" != "$actual" ]; then
  echo "exported names differ from $map:"
  diff -u /dev/fd/3 /dev/fd/4 3<<E 4<<A || true
$expected
E
$actual
A
  exit 1
fi
for name in $expected; do
  grep -Eq "(^|[[:space:]])$name\(" "$header" || { echo "not declared: $name"; exit 1; }
done
echo "$(echo "$expected" | wc -l) exported names, as listed"
