#!/usr/bin/env bash
# readerd's deployment files as systemd and udev would read them:
# - the udev rules, the examples that are commented out as well: each rule
#   is KEY[{attribute}]OPERATOR"value" items, with an operator the key takes;
# - the sysusers file, applied by systemd-sysusers to an empty root: it makes
#   the user readerd with the primary group reader;
# - the service and socket units, with ExecStart at the built readerd (verify
#   wants the program to exist): systemd-analyze verify must say nothing, as
#   it only warns about unknown keys and bad values.
# Exit 77 at the end when systemd-analyze is missing.
#
# usage: readerd_deployment_test.sh SOURCE_DIR READERD WORK
set -euo pipefail
source=$1 readerd=$2 work=$3
packaging=$source/packaging

fail() { echo "FAILED: $*"; exit 1; }

rm -rf "$work"
mkdir -p "$work"

# ---- udev rules ----------------------------------------------------------
match_keys=' ACTION DEVPATH KERNEL KERNELS SUBSYSTEM SUBSYSTEMS DRIVER DRIVERS ATTRS TAGS TEST PROGRAM RESULT CONST '
assign_keys=' OWNER GROUP MODE SYMLINK OPTIONS RUN NAME LABEL GOTO IMPORT SECLABEL WAIT_FOR '
both_keys=' ATTR SYSCTL ENV TAG '
item='^[[:space:]]*([A-Z_]+)(\{[^}]+\})?[[:space:]]*(==|!=|\+=|-=|:=|=)[[:space:]]*"([^"]*)"[[:space:]]*(,|$)'
rules=$packaging/udev/60-reader3100xe.rules
checked=0
number=0
while IFS= read -r line || [ -n "$line" ]; do
  number=$((number + 1))
  # An example rule commented out is checked as the rule it becomes.
  if [[ $line =~ ^#[[:space:]]*([A-Z_]+(\{[^}]*\})?[[:space:]]*(==|!=|\+=|:=|=)[[:space:]]*\".*) ]]; then
    line=${BASH_REMATCH[1]}
  fi
  [[ $line =~ ^[[:space:]]*(#|$) ]] && continue
  rest=$line assignments=0
  while [ -n "$rest" ]; do
    [[ $rest =~ $item ]] || fail "$rules:$number: cannot read '$rest'"
    key=${BASH_REMATCH[1]} operator=${BASH_REMATCH[3]}
    rest=${rest:${#BASH_REMATCH[0]}}
    if [[ $operator == "==" || $operator == "!=" ]]; then
      [[ $match_keys$both_keys == *" $key "* ]] || fail "$rules:$number: $key is not matched with $operator"
    else
      [[ $assign_keys$both_keys == *" $key "* ]] || fail "$rules:$number: $key is not assigned with $operator"
      assignments=$((assignments + 1))
    fi
  done
  [ "$assignments" -gt 0 ] || fail "$rules:$number: the rule assigns nothing"
  checked=$((checked + 1))
done <"$rules"
[ "$checked" -gt 0 ] || fail "no rule found in $rules"
echo "$checked udev rules read"

# ---- sysusers ------------------------------------------------------------
if command -v systemd-sysusers >/dev/null; then
  mkdir -p "$work/root/etc"
  systemd-sysusers --root="$work/root" "$packaging/sysusers.d/readerd.conf" >"$work/sysusers.log" 2>&1 \
    || { cat "$work/sysusers.log"; fail "systemd-sysusers"; }
  gid=$(awk -F: '$1 == "reader" {print $3}' "$work/root/etc/group")
  [ -n "$gid" ] || fail "sysusers made no group reader"
  awk -F: -v gid="$gid" '$1 == "readerd" && $4 == gid {found = 1} END {exit !found}' "$work/root/etc/passwd" \
    || fail "sysusers made no user readerd in the group reader"
  echo "sysusers: user readerd, group reader ($gid)"
else
  echo "systemd-sysusers is not installed: the sysusers file is not applied"
fi

# ---- systemd units -------------------------------------------------------
if ! command -v systemd-analyze >/dev/null; then
  echo "systemd-analyze is not installed: the units are not verified"
  exit 77
fi
units=$work/units
mkdir -p "$units"
grep -qx 'ExecStart=/usr/bin/readerd' "$packaging/systemd/readerd.service" \
  || fail "readerd.service does not start /usr/bin/readerd"
sed "s|^ExecStart=/usr/bin/readerd|ExecStart=$readerd|" "$packaging/systemd/readerd.service" >"$units/readerd.service"
cp "$packaging/systemd/readerd.socket" "$units/"
said=$(cd "$units" && systemd-analyze verify --man=no "$units/readerd.socket" "$units/readerd.service" 2>&1) \
  || fail "systemd-analyze verify: $said"
[ -z "$said" ] || fail "systemd-analyze verify: $said"
echo "systemd-analyze verify: readerd.service and readerd.socket read cleanly"
