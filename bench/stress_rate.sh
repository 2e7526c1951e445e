#!/bin/sh
# The stress test's two measurements against the simulated scanner.
#
#   bench/stress_rate.sh [path/to/dravo-sim] [runs] [images]
#
# scan:    "twstress 2.0 <Simulated Scanner> scan <images>" with that many
#          sheets in the feeder: the pages and images a minute the program
#          reports itself (its tick starts once the first image is ready).
# section: the per-triplet tests against the standard scanner (eleven
#          sections, ending at the transfer group it refuses), timed by the
#          program's own timer around the command; the triplets it sent are
#          counted from the simulator's journal of one extra run, and the
#          time per triplet includes opening and closing the DSM and the
#          source for every section.
# Medians over the given number of runs. Run by hand; not part of the suite.
set -eu

. "$(dirname "$0")/common.sh"
bench_setup "${1:-}"
runs=${2:-5}
images=${3:-500}

printf '[scanner]\npages = %d\n' "$images" >sim.cfg
export SIMSCANNER_CONFIG="$work/sim.cfg"

# The scan: one value of the program's result lines per run.
scan_field() {
    n=0
    while [ "$n" -lt "$runs" ]; do
        printf 'twstress 2.0 "Simulated Scanner" scan %d\nexit\n' "$images" | "$exe" 2>/dev/null |
            sed -n "s/^$1 *\([0-9.]*\).*/\1/p"
        n=$((n + 1))
    done | median
}

# The sections: the program's timer around one twstress command, in seconds.
section_seconds() {
    n=0
    while [ "$n" -lt "$runs" ]; do
        printf 'timer start\ntwstress 2.0 "Simulated Scanner"\ntimer stop\nexit\n' | "$exe" 2>/dev/null | timer_seconds
        n=$((n + 1))
    done | median
}

printf 'twstress 2.0 "Simulated Scanner"\nexit\n' |
    SIMSCANNER_JOURNAL="$work/journal.txt" "$exe" >/dev/null 2>&1
triplets=$(grep -c '^call ' journal.txt || true)

echo "runs: $runs (median), images: $images"
echo "scan:    images/minute $(scan_field 'Images \/ Minute:')  sheets/minute $(scan_field 'Sheets \/ Minute:')  seconds/image $(scan_field 'Seconds \/ Image:')"
s=$(section_seconds)
awk -v s="$s" -v t="$triplets" 'BEGIN {
    if (s <= 0 || t <= 0) { print "section: nothing measured"; exit }
    printf "section: %d triplets at the source in %.2f ms: %.1f us a triplet\n", t, s * 1e3, s * 1e6 / t }'
