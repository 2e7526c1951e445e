#!/bin/sh
# What a source's claims cost the program, and what a large real image costs,
# measured through the program against the simulated scanner.
#
#   bench/bench_xfer_claimed.sh [path/to/dravo-sim] [runs]
#
# claimed: the source's image information says 1,400,000,000 x 2 gray
#          pixels, its one block holds one byte (imageinfo.size of the
#          simulated scanner); the program places it, says what is blank
#          and converts the (sparse) raw data of 2.8 GB into a TIFF (the raw
#          file becomes the TIFF); then 1,000,000,000 x 4 pixels (4 GB, too
#          large to become the TIFF itself: copied into a new file).
#          Printed: the peak memory of each run (maximum resident set, from
#          /usr/bin/time), the size of the TIFF and the disk it takes.
#          Target: under 64 MiB.
# real:    a 10 x 10 inch gray page at 1000 dpi (100,000,000 bytes, 97
#          memory blocks); the last block, which ends the image and turns the
#          raw data into the TIFF, is timed by the program's own timer.
#          Printed: the median of that time over the runs, and the largest
#          peak memory of a run. Target: the conversion as fast as before
#          (run this script with an older build to compare).
# Run by hand; not part of the test suite.
set -eu

. "$(dirname "$0")/common.sh"
bench_setup "${1:-}"
runs=${2:-5}
if [ ! -x /usr/bin/time ]; then
    echo "no /usr/bin/time to measure the peak memory with" >&2
    exit 1
fi

head='twcreate 2.4\ndsmopen\ndsopen "Simulated Scanner"\nui enableds\nwait 10000 msg_xferready\n'
tail='px endxfer\nui disableds\ndsclose\ndsmclose\n'

claimed_cfg() {
    printf '[scanner]\npage = 0.01 0.01\npages = 1\nmemory.align = 1\nimageinfo.size = %s %s\n' "$1" "$2"
    printf 'cap ICAP_PIXELTYPE enum uint16 TWPT_GRAY\ncap ICAP_BITDEPTH enum uint16 8\ncap ICAP_XFERMECH enum uint16 TWSX_MEMORY\n'
}
printf "${head}ii msg_get claimed\nxm\n${tail}" >claimed.txt

large_page_config >real.cfg
printf "${head}ii msg_get real\nrepeat 96\nxm\nend\ntimer start\nxm\ntimer stop\n${tail}" >real.txt

# Runs a script under /usr/bin/time: its output in out.txt, the peak memory
# in KiB on standard output.
peak_kib() {
    SIMSCANNER_CONFIG="$work/$1.cfg" /usr/bin/time -f '%M' -o rss.txt "$exe" run "$1" </dev/null >out.txt 2>&1 || true
    tail -n 1 rss.txt
}

for size in "1400000000 2" "1000000000 4"; do
    claimed_cfg $size >claimed.cfg
    kib=$(peak_kib claimed)
    if [ ! -f claimed00000000.tif ]; then
        echo "the claimed image left no TIFF:" >&2
        grep -i "claimed\|image" out.txt >&2 || true
        exit 1
    fi
    awk -v c="$size" -v k="$kib" -v s="$(wc -c <claimed00000000.tif)" -v d="$(du -k claimed00000000.tif | cut -f1)" 'BEGIN {
        split(c, a, " ")
        printf "claimed %s x %s: peak memory %.1f MiB, TIFF of %.0f bytes (%d KiB on disk)\n", a[1], a[2], k / 1024, s, d }'
    rm -f claimed00000000.tif
done

real_max=0
n=0
while [ "$n" -lt "$runs" ]; do
    kib=$(peak_kib real)
    if [ ! -s real00000000.tif ]; then
        echo "the real image left no TIFF" >&2
        exit 1
    fi
    rm -f real00000000.tif
    if [ "$kib" -gt "$real_max" ]; then real_max=$kib; fi
    timer_seconds <out.txt
    n=$((n + 1))
done >real_times.txt
real_s=$(median <real_times.txt)

awk -v t="$real_s" -v k="$real_max" -v r="$runs" 'BEGIN {
    printf "real 10000 x 10000:     last block and conversion %.2f ms (median of %d), peak memory %.1f MiB\n", t * 1e3, r, k / 1024 }'
echo "target:                 claimed peak memory < 64 MiB; conversion time as before"
