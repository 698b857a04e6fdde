#!/usr/bin/env bash
# The systemd user unit of `ostravel-ctl watch` passes systemd's own check, warnings included, with
# its ExecStart pointed at this build's program (the installed one is not there yet).
#   watch_unit_check.sh UNIT_TEMPLATE CTL_PROGRAM
set -euo pipefail
template=$1 program=$2
work=$(mktemp -d /tmp/ostravel-unit-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/run"
unit=$work/$(basename "$template" .in)
sed "s|@CMAKE_INSTALL_FULL_BINDIR@/ostravel-ctl|$program|" "$template" > "$unit"
grep -q "^ExecStart=$program " "$unit" || { echo "FAIL: ExecStart does not run ostravel-ctl" >&2; exit 1; }
# A user manager of its own would need a session; the unit is only loaded and checked.
report=$(XDG_RUNTIME_DIR=$work/run systemd-analyze verify --user --man=no "$unit" 2>&1) || {
  echo "FAIL: $report" >&2
  exit 1
}
[[ -z $report ]] || { echo "FAIL: $report" >&2; exit 1; }
echo "unit passes"
