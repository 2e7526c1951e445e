#!/bin/sh
# The walks over all 65,536 capability ids, per camera, against the simulated
# camera (six cameras), timed by the program's own timer.
#
#   bench/capwalk.sh [path/to/dravo-sim] [runs]
#
#   querysupport: "get querysupport validate" (MSG_QUERYSUPPORT of every id
#                 per camera; its enable is refused, so the run ends there);
#   supported:    "dscap CAP_SUPPORTEDCAPS validate" (the battery of one
#                 capability, then MSG_GETCURRENT of every id per camera,
#                 with DAT_STATUS after each refusal).
# Prints the median time of each walk and its time per camera.
# Target: under 0.3 s per camera.
# Run by hand; not part of the test suite.
set -eu

. "$(dirname "$0")/common.sh"
bench_setup "${1:-}"
runs=${2:-5}

export SIMSCANNER_CONFIG="$work/sim.cfg"
echo "fault refuse DG_CONTROL DAT_USERINTERFACE MSG_ENABLEDS" >sim.cfg

# Median over the runs of the program's timer around one command, in seconds.
median_s() {
    n=0
    while [ "$n" -lt "$runs" ]; do
        printf 'twcreate 2.4\ndsmopen\ndsopen "Simulated Camera"\ntimer start\n%s\ntimer stop\nexit\n' "$1" |
            "$exe" 2>/dev/null | timer_seconds
        n=$((n + 1))
    done | median
}

report() {
    awk -v name="$1" -v s="$2" 'BEGIN {
        if (s <= 0) { printf "%-13s no time measured\n", name; exit }
        printf "%-13s %8.1f ms  %8.1f ms per camera\n", name, s * 1e3, s * 1e3 / 6 }'
}

echo "runs: $runs (median), 6 cameras"
report querysupport "$(median_s 'get querysupport validate')"
report supported "$(median_s 'dscap CAP_SUPPORTEDCAPS validate')"
echo "target:       < 300 ms per camera"
