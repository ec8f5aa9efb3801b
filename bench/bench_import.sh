#!/bin/sh
# Import of 20 photos of 12 megapixels against the ffmpeg CLI only decoding them.
#
#   bench/bench_import.sh [BUILD_DIR]      (default: build)
#
# Needs ffmpeg, bc and /usr/bin/time (Debian package "time").
#
# Makes the photos in a temporary folder, reads them once so both sides start
# from the page cache, then times
#   - our import: bench_import (check pass, batch decode, tier cache, store,
#     thumbnails), the store in a temporary data folder;
#   - ffmpeg decoding all photos in one process (image sequence input, its
#     default threads), which leaves out its start-up and probing per file:
#     the reference for the ratio;
#   - for information, one `ffmpeg -i <photo> -f null -` process per photo,
#     in turn, with its default settings;
# and prints the ratios, the store size per photo and how closely the
# stored tier pictures keep the tiers as made (PSNR).
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
BENCH=$BUILD/bin/bench_import
COUNT=${COUNT:-20}
SIZE=${SIZE:-4000x3000}

if [ ! -x "$BENCH" ]; then
    echo "bench_import not found in $BUILD/bin; build the project first" >&2
    exit 2
fi

WORK=$(mktemp -d)
if [ "${KEEP:-0}" = 1 ]; then
    echo "work folder: $WORK"
else
    trap 'rm -rf "$WORK"' EXIT INT TERM
fi
mkdir -p "$WORK/photos" "$WORK/data"

now() { date +%s.%N; }

# Moving test pattern with fresh noise in every frame: every photo differs
# and none compresses trivially.
ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i "testsrc2=s=$SIZE:r=1" \
    -vf "noise=alls=12:allf=t+u" -frames:v "$COUNT" -q:v 3 "$WORK/photos/photo_%02d.jpg"
PHOTOS=$(ls "$WORK"/photos/*.jpg)
cat $PHOTOS > /dev/null
echo "photos: $COUNT x $SIZE JPEG, $(du -sh "$WORK/photos" | cut -f1) in all"

T0=$(now)
for f in $PHOTOS; do
    ffmpeg -nostdin -hide_banner -loglevel error -i "$f" -f null -
done
T1=$(now)
CLI_MS=$(echo "($T1 - $T0) * 1000" | bc -l)

T0=$(now)
ffmpeg -nostdin -hide_banner -loglevel error -i "$WORK/photos/photo_%02d.jpg" -f null -
T1=$(now)
CLI_ONE_MS=$(echo "($T1 - $T0) * 1000" | bc -l)

T0=$(now)
/usr/bin/time -f "%M" -o "$WORK/import.rss" \
    env QT_QPA_PLATFORM=offscreen "$BENCH" "$WORK/data" $PHOTOS > "$WORK/import.txt" 2> "$WORK/import.log"
T1=$(now)
RUN_MS=$(echo "($T1 - $T0) * 1000" | bc -l)
cat "$WORK/import.txt"
printf 'peak_rss_mib=%.1f\n' "$(echo "$(tail -1 "$WORK/import.rss") / 1024" | bc -l)"

IMPORT_MS=$(sed -n 's/^total_ms=//p' "$WORK/import.txt")
printf 'ffmpeg_cli_ms=%.1f\n' "$CLI_MS"
printf 'ffmpeg_cli_one_process_ms=%.1f\n' "$CLI_ONE_MS"
printf 'bench_process_ms=%.1f   (whole program: start, store start, import, exit step)\n' "$RUN_MS"
printf 'ratio_import_to_cli=%.2f\n' "$(echo "$IMPORT_MS / $CLI_MS" | bc -l)"
printf 'ratio_process_to_cli=%.2f\n' "$(echo "$RUN_MS / $CLI_MS" | bc -l)"
printf 'ratio_import_to_cli_one_process=%.2f   (target: at most 2)\n' "$(echo "$IMPORT_MS / $CLI_ONE_MS" | bc -l)"
printf 'load_average=%s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
