#!/bin/sh
# Script lines a second with the console off, measured through the program.
#
#   bench/script_rate.sh [path/to/dravo-sim] [runs]
#
# Two scripts, each run by "runsilent" between "timer start" and "timer stop":
#   builtin: 8,000 lines of built-in commands (variables, status tests and
#            blocks, run-argument tests, sizes, colour, comments, labels);
#   triplet: a "repeat 4000" loop of DG_CONTROL DAT_CAPABILITY MSG_GET
#            (ICAP_XRESOLUTION) against the first simulated source (two script
#            lines a pass, 8,000 in all; each pass prints 15 log lines).
# Each is timed by the program's own timer over the given number of runs
# (median); lines a second = lines / that time.
# Target: at least 200,000 lines a second for the built-in script.
# Run by hand; not part of the test suite.
set -eu

. "$(dirname "$0")/common.sh"
bench_setup "${1:-}"
runs=${2:-5}


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
dsopen
repeat 4000
dat_capability msg_get ICAP_XRESOLUTION
end
dsclose
dsmclose
EOF

# Median over the runs of the time the program itself measures for one
# "runsilent" of the script (its timer around the run: start-up and exit
# are left out; bench/startup.sh measures those), in seconds.
median_s() {
    n=0
    while [ "$n" -lt "$runs" ]; do
        printf 'timer start\nrunsilent %s\ntimer stop\nexit\n' "$1" | "$exe" 2>/dev/null | timer_seconds
        n=$((n + 1))
    done | median
}

report() {
    awk -v name="$1" -v lines="$2" -v s="$3" 'BEGIN {
        if (s <= 0) { printf "%-8s no time measured\n", name; exit }
        printf "%-8s %6d lines  %8.2f ms  %10.0f lines/s\n", name, lines, s * 1e3, lines / s }'
}

echo "runs: $runs (median)"
report builtin 8000 "$(median_s builtin)"
report triplet 8000 "$(median_s triplet)"
echo "target:  builtin >= 200000 lines/s"
