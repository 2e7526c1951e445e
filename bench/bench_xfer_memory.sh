#!/bin/sh
# A memory transfer of a large page into an image file, next to dd writing
# the same number of bytes into the same folder.
#
#   bench/bench_xfer_memory.sh [path/to/dravo-sim] [folder]
#
# The page: 10 x 10 inches of 8-bit gray at 1000 dpi (100,000,000 bytes, 97
# blocks of 1 MiB), received with dat_imagememxfer and written as a TIFF.
# The same script without the transfer runs first: its time (start-up,
# open, the wait for the transfer-ready event) is taken off. Prints both
# times and the ratio of the speeds (best of three runs each). Target: the
# transfer at least half as fast as dd (ratio 0.5 or more).
# Run by hand; not part of the test suite.
set -eu

. "$(dirname "$0")/common.sh"
exe=$(cd "$(dirname "${1:-build/shell/dravo-sim}")" && pwd)/$(basename "${1:-build/shell/dravo-sim}")
dir=${2:-$(mktemp -d)}
if [ ! -x "$exe" ]; then
    echo "no executable at $exe (give the path of dravo-sim)" >&2
    exit 1
fi
mkdir -p "$dir"
work=$(mktemp -d "$dir/bench_xfer_XXXXXX")
trap 'rm -rf "$work"' EXIT
export ZAV_LOGDIR="$work" HOME="$work"
unset ZAV_DEBUG || true

large_page_config >"$work/sim.cfg"
head='twcreate 2.4\ndsmopen\ndsopen "Simulated Scanner"\nui enableds\nwait 10000 msg_xferready\n'
tail='px endxfer\nui disableds\ndsclose\ndsmclose\n'
printf "${head}ii msg_get page\nrepeat 97\nxm\nend\n${tail}" >"$work/scan.txt"
printf "${head}ii\n${tail}" >"$work/noscan.txt"
export SIMSCANNER_CONFIG="$work/sim.cfg"

# The best wall time in microseconds of three runs of a command.
best_us() {
    best=""
    for run in 1 2 3; do
        rm -f "$work/page00000000.tif" "$work/dd.bin"
        t0=$(date +%s%N)
        "$@"
        t1=$(date +%s%N)
        t=$(( (t1 - t0) / 1000 ))
        if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
    done
    echo "$best"
}
run_script() { (cd "$work" && "$exe" run "$1" </dev/null >/dev/null 2>&1); }

base_us=$(best_us run_script noscan)
scan_us=$(best_us run_script scan)
if [ ! -s "$work/page00000000.tif" ]; then
    echo "the transfer wrote no image file" >&2
    exit 1
fi
size=$(wc -c <"$work/page00000000.tif")
dd_us=$(best_us dd if=/dev/zero of="$work/dd.bin" bs=1048576 count=96 status=none)
xfer_us=$(( scan_us - base_us ))

echo "memory transfer: $xfer_us us for an image file of $size bytes (the run $scan_us us, without the transfer $base_us us)"
echo "dd:              $dd_us us for 100663296 bytes"
awk -v x="$xfer_us" -v d="$dd_us" -v s="$size" 'BEGIN { if (x > 0) printf "speed ratio (transfer / dd): %.2f\n", (s / x) / (100663296 / (d > 0 ? d : 1)) }'
