#!/bin/sh
# Start-up to exit of the test program, next to /bin/true.
#
#   bench/startup.sh [path/to/dravo-sim] [runs]
#
# Runs "dravo-sim exit" (standard input closed) and /bin/true the given number
# of times and prints the median wall time of each in milliseconds. Uses
# hyperfine when it is installed. Target: a median under 3 ms.
# Run by hand; not part of the test suite.
set -eu

exe=${1:-build/shell/dravo-sim}
runs=${2:-200}

if [ ! -x "$exe" ]; then
    echo "no executable at $exe (give the path of dravo-sim)" >&2
    exit 1
fi

# Keep the services log out of the way.
logdir=$(mktemp -d)
trap 'rm -rf "$logdir"' EXIT
export ZAV_LOGDIR="$logdir"
unset ZAV_DEBUG || true

if command -v hyperfine >/dev/null 2>&1; then
    hyperfine --warmup 10 --runs "$runs" --input /dev/null --output null \
        "$exe exit" "/bin/true"
    exit 0
fi

# Median of a command's wall time in milliseconds over $runs runs.
median_ms() {
    i=0
    times=""
    while [ "$i" -lt "$runs" ]; do
        t0=$(date +%s%N)
        "$@" </dev/null >/dev/null 2>&1 || true
        t1=$(date +%s%N)
        times="$times$((t1 - t0))
"
        i=$((i + 1))
    done
    printf '%s' "$times" | sort -n | awk '{ a[NR] = $1 } END {
        m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2;
        printf "%.3f", m / 1000000 }'
}

# Warm the caches first.
"$exe" exit </dev/null >/dev/null 2>&1 || true

dravo=$(median_ms "$exe" exit)
truth=$(median_ms /bin/true)
echo "runs:                 $runs"
echo "dravo-sim exit:       $dravo ms (median)"
echo "/bin/true:            $truth ms (median)"
echo "target:               < 3 ms"
