#!/bin/sh
# What one poll cycle of the headless monitor costs in user-space
# instructions, counted by callgrind: palvex-headless against
# palvex-modemsim (MC55, no answer latency) on a pseudo-terminal, run once
# for 50 and once for 150 cycles; the difference divided by 100 leaves out
# the start and the end. Printed for two set-ups: records as JSON on
# standard output only, and standard output to /dev/null (as the service
# unit has it) with the record log, the metrics and the terminal log on.
#
#   tools/cycle_cost.sh [BUILD_DIR] [SHORT LONG]
#
# BUILD_DIR defaults to ./build; SHORT and LONG to 50 and 150 cycles. The
# runs' files stay in a temporary folder that is removed at the end (set
# KEEP=1 to keep it and see the callgrind output).
set -eu

build=${1:-build}
short=${2:-50}
long=${3:-150}
headless=$build/app/headless/palvex-headless
modemsim=$build/tools/modemsim/palvex-modemsim
for program in "$headless" "$modemsim"; do
    [ -x "$program" ] || { echo "cycle_cost: $program is not built" >&2; exit 2; }
done
command -v valgrind >/dev/null || { echo "cycle_cost: valgrind is not installed" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/cycle_cost.XXXXXX")
sim=
cleanup() {
    [ -n "$sim" ] && kill "$sim" 2>/dev/null && wait "$sim" 2>/dev/null
    [ "${KEEP:-0}" = 1 ] && echo "cycle_cost: runs kept in $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

# Starts the simulator on $work/modem and waits until the link stands.
start_sim() {
    rm -f "$work/modem"
    "$modemsim" --link "$work/modem" --model MC55 --latency 0 --exit-after 3600 \
        </dev/null >"$work/modemsim.out" 2>&1 &
    sim=$!
    i=0
    while [ ! -e "$work/modem" ]; do
        i=$((i + 1))
        [ $i -lt 100 ] || { echo "cycle_cost: the simulator did not start" >&2; exit 1; }
        sleep 0.05
    done
}

stop_sim() {
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
    sim=
}

# Instructions of one run of N cycles with the given options (all of the
# process's threads).
instructions() {
    name=$1 cycles=$2 out=$3
    shift 3
    start_sim
    rm -f "$work/$name.log" "$work/$name.terminal"
    valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.$name.$cycles" \
        "$headless" --quiet --cycles "$cycles" "$@" "$work/modem" >"$out" 2>"$work/$name.$cycles.err" ||
        { echo "cycle_cost: the run $name/$cycles failed:" >&2; cat "$work/$name.$cycles.err" >&2; exit 1; }
    stop_sim
    # All threads together (callgrind sums them into one file).
    awk '/^totals:/ { print $2 }' "$work/callgrind.$name.$cycles"
}

per_cycle() {
    name=$1 out=$2
    shift 2
    a=$(instructions "$name" "$short" "$out" "$@")
    b=$(instructions "$name" "$long" "$out" "$@")
    echo "$name: $(( (b - a) / (long - short) )) instructions per cycle ($short cycles: $a, $long cycles: $b)"
}

per_cycle stdout "$work/stdout.jsonl"
per_cycle all-outputs /dev/null --log "$work/all-outputs.log" --metrics 127.0.0.1:0 --terminal "$work/all-outputs.terminal"
