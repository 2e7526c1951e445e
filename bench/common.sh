# Shared set-up of the benchmark scripts (sourced, not run):
#   bench_setup [path/to/dravo-sim]  resolves $exe, makes the work folder
#                                    $work (removed at exit) and enters it,
#                                    with the logs and $HOME inside it;
#   median                           the median of the numbers on standard
#                                    input (0 when there are none);
#   timer_seconds                    the program's "timer stop" total, in
#                                    seconds, from its output on standard input;
#   large_page_config                the simulated scanner's configuration of
#                                    one large page: 10 x 10 inches of 8-bit
#                                    gray at 1000 dpi (100,000,000 bytes) in
#                                    memory transfers.

bench_setup() {
    exe=${1:-build/shell/dravo-sim}
    if [ ! -x "$exe" ]; then
        echo "no executable at $exe (give the path of dravo-sim)" >&2
        exit 1
    fi
    exe=$(cd "$(dirname "$exe")" && pwd)/$(basename "$exe")
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    export ZAV_LOGDIR="$work/log"
    export HOME="$work"
    unset ZAV_DEBUG SIMSCANNER_JOURNAL SIMSCANNER_CONFIG || true
    cd "$work"
}

median() {
    sort -g | awk '{ a[NR] = $1 } END {
        if (NR == 0) { printf "0"; exit }
        printf "%.9g", (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'
}

timer_seconds() {
    sed -n 's/.*Timer(1) Count=1 Total=\([0-9.e+-]*\)s.*/\1/p'
}

large_page_config() {
    cat <<'CFG'
[scanner]
page = 10 10
pages = 1
cap ICAP_XRESOLUTION enum fix32 100 1000 default=1000
cap ICAP_YRESOLUTION enum fix32 100 1000 default=1000
cap ICAP_PIXELTYPE enum uint16 TWPT_GRAY
cap ICAP_BITDEPTH enum uint16 8
cap ICAP_XFERMECH enum uint16 TWSX_MEMORY
CFG
}
