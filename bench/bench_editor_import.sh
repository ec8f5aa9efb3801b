#!/bin/sh
# The editor window's import of 20 photos of 12 megapixels: how long the GUI
# thread's event loop stalls at most, whether the progress moves, and the
# import time against bench_import's (the same import without a window).
#
#   bench/bench_editor_import.sh [BUILD_DIR]      (default: build)
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
COUNT=${COUNT:-20}
SIZE=${SIZE:-4000x3000}
for b in bench_editor_import bench_import; do
    if [ ! -x "$BUILD/bin/$b" ]; then
        echo "$b not found in $BUILD/bin; build the project first" >&2
        exit 2
    fi
done

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
mkdir -p "$WORK/photos" "$WORK/data-editor" "$WORK/data-reference"
ffmpeg -nostdin -hide_banner -loglevel error -f lavfi -i "testsrc2=s=$SIZE:r=1" \
    -vf "noise=alls=12:allf=t+u" -frames:v "$COUNT" -q:v 3 "$WORK/photos/photo_%02d.jpg"
PHOTOS=$(ls "$WORK"/photos/*.jpg)
cat $PHOTOS > /dev/null
echo "photos: $COUNT x $SIZE JPEG"

QT_QPA_PLATFORM=offscreen "$BUILD/bin/bench_import" "$WORK/data-reference" $PHOTOS > "$WORK/reference.txt" 2>/dev/null
QT_QPA_PLATFORM=offscreen "$BUILD/bin/bench_editor_import" "$WORK/data-editor" $PHOTOS > "$WORK/editor.txt" 2>/dev/null
cat "$WORK/editor.txt"
REFERENCE_MS=$(sed -n 's/^total_ms=//p' "$WORK/reference.txt")
BATCH_MS=$(sed -n 's/^batch_ms=//p' "$WORK/editor.txt")
GAP_MS=$(sed -n 's/^longest_gap_ms=//p' "$WORK/editor.txt")
printf 'bench_import_total_ms=%s\n' "$REFERENCE_MS"
printf 'ratio_editor_batch_to_bench_import=%.2f\n' "$(echo "$BATCH_MS / $REFERENCE_MS" | bc -l)"
printf 'longest_gap_target=50 ms: %s\n' "$([ "$GAP_MS" -le 50 ] && echo met || echo MISSED)"
