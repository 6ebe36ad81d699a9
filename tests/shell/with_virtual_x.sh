#!/usr/bin/env bash
# Runs a test program on a private virtual X server (sourced from virtual_x.sh).
# Usage: with_virtual_x.sh WORK_DIR PROGRAM [ARGUMENTS...]. Exit 77 (skipped) when no virtual X
# server can be started; otherwise the program's exit status.
set -euo pipefail
work=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work"
. "$here/virtual_x.sh"
start_virtual_x "$work" || exit 77
status=0
"$@" || status=$?
exit $status
