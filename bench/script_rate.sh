#!/bin/sh
# Script lines a second with the console off, measured through the program.
#
#   bench/script_rate.sh [path/to/dravo-sim] [runs]
#
# Two scripts, each run by "runsilent" as the first command:
#   builtin: 8,000 lines of built-in commands (variables, status tests and
#            blocks, run-argument tests, sizes, colour, comments, labels);
#   triplet: a "repeat 4000" loop of the Data Source listing against the
#            simulated scanner's DSM (DG_CONTROL DAT_IDENTITY MSG_GETFIRST and
#            MSG_GETNEXT; two script lines a pass, 8,000 in all, each pass
#            printing eight log lines).
# Each is timed over the given number of runs (median), less the median
# start-up to exit of the program; lines a second = lines / that time.
# Target: at least 200,000 lines a second for the built-in script.
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
unset ZAV_DEBUG || true
cd "$work"

# 8,000 built-in command lines: 16 lines repeated 500 times.
i=0
while [ "$i" -lt 500 ]; do
    cat <<'EOF'
setvar ProductName bench
getvar ProductName
ifstatus TWRC_SUCCESS
size
end
ifstatus not TWRC_SUCCESS
tally
end
setdiff twrunargs.u32Count 2
ifdiff twrunargs
end
color on
; a comment
label:
setvar AutoDatStatus true
getvar Language
EOF
    i=$((i + 1))
done >builtin.txt

cat >triplet.txt <<'EOF'
twcreate 2.4
dsmopen
repeat 4000
dsmlist
end
dsmclose
EOF

# Median wall time of the program with these arguments, in nanoseconds.
median_ns() {
    n=0
    times=""
    while [ "$n" -lt "$runs" ]; do
        t0=$(date +%s%N)
        "$exe" "$@" </dev/null >/dev/null 2>&1 || true
        t1=$(date +%s%N)
        times="$times$((t1 - t0))
"
        n=$((n + 1))
    done
    printf '%s' "$times" | sort -n | awk '{ a[NR] = $1 } END {
        printf "%d", (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'
}

"$exe" exit </dev/null >/dev/null 2>&1 || true
start=$(median_ns exit)

report() {
    name=$1
    lines=$2
    total=$3
    net=$((total - start))
    [ "$net" -gt 0 ] || net=1
    awk -v name="$name" -v lines="$lines" -v total="$total" -v net="$net" 'BEGIN {
        printf "%-8s %6d lines  %8.1f ms (%.1f ms less start-up)  %9.0f lines/s\n",
               name, lines, total / 1e6, net / 1e6, lines / (net / 1e9) }'
}

echo "runs: $runs, start-up to exit: $(awk -v s="$start" 'BEGIN { printf "%.1f", s / 1e6 }') ms (median)"
report builtin 8000 "$(median_ns runsilent builtin)"
report triplet 8000 "$(median_ns runsilent triplet)"
echo "target:  builtin >= 200000 lines/s"
