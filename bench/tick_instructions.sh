#!/bin/sh
# Instructions per steady on-line tick and per idle tick of the whole program, counted by
# callgrind over N ticks of each (default 1000). Usage: bench/tick_instructions.sh [PROGRAM] [N]
set -eu
program=${1:-build/bench/bench/tick_program}
n=${2:-1000}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for phase in OnlineTicks IdleTicks; do
    valgrind --tool=callgrind --callgrind-out-file="$out/$phase" \
        --toggle-collect="$phase*" "$program" "$n" >/dev/null 2>"$out/$phase.log"
    total=$(callgrind_annotate "$out/$phase" 2>/dev/null | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
    echo "$phase: $total instructions over $n ticks, $((total / n)) per tick"
done
