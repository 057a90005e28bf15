#!/usr/bin/env bash
# Runs the Windows serial test against a Linux zeltra-sim serial: the Wine
# prefix's COM9 points at the virtual adapter's pseudo-terminal meanwhile.
#   serial_over_wine.sh ZELTRA_SIM TEST_EXE HEX
set -euo pipefail
sim=$1 test_exe=$2 hex=$3
prefix=${WINEPREFIX:-$HOME/.wine}
work=$(mktemp -d)
"$sim" serial --link "$work/link" >"$work/sim.log" 2>&1 &
sim_pid=$!
cleanup() {
    kill "$sim_pid" 2>/dev/null || true
    rm -f "$prefix/dosdevices/com9"
    rm -rf "$work"
}
trap cleanup EXIT
for _ in $(seq 50); do [ -e "$work/link" ] && break; sleep 0.1; done
[ -e "$work/link" ] || { cat "$work/sim.log" >&2; exit 1; }
mkdir -p "$prefix/dosdevices"
ln -sfn "$work/link" "$prefix/dosdevices/com9"
ORDWIN_TEST_COM=9 ORDWIN_TEST_HEX="Z:$hex" wine "$test_exe"
