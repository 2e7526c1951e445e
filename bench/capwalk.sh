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

exe=${1:-build/shell/dravo-sim}
runs=${2:-5}

if [ ! -x "$exe" ]; then
    echo "no executable at $exe (give the path of dravo-sim)" >&2
    exit 1
fi
exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ZAV_LOGDIR="$work/log"
export HOME="$work"
export SIMSCANNER_CONFIG="$work/sim.cfg"
unset ZAV_DEBUG SIMSCANNER_JOURNAL || true
cd "$work"
echo "fault refuse DG_CONTROL DAT_USERINTERFACE MSG_ENABLEDS" >sim.cfg

# Median over the runs of the program's timer around one command, in seconds.
median_s() {
    n=0
    times=""
    while [ "$n" -lt "$runs" ]; do
        t=$(printf 'twcreate 2.4\ndsmopen\ndsopen "Simulated Camera"\ntimer start\n%s\ntimer stop\nexit\n' "$1" |
            "$exe" 2>/dev/null | sed -n 's/.*Timer(1) Count=1 Total=\([0-9.e+-]*\)s.*/\1/p')
        times="$times$t
"
        n=$((n + 1))
    done
    printf '%s' "$times" | sort -g | awk '{ a[NR] = $1 } END {
        printf "%.9f", (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'
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
