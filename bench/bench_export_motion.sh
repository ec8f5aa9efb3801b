#!/bin/bash
# What the moving photos and the blurred backdrop cost the export: the same
# album of 12-megapixel photos (4:3 in a 16:9 frame, so the backdrop shows)
# rendered by pictora-render twice in one run, still on bars and with
# --motion gentle --framing blur; prints wall and export times, frame counts
# and their ratio, and where the time of the moving run went.
#
# Usage: bench/bench_export_motion.sh [BUILD_DIR]      (default: build)
# Environment: PHOTOS (default 8), SECONDS_PER_PHOTO (default 3),
#              SEED (default 0), KEEP=1 keeps the work folder.
set -euo pipefail

cd "$(dirname "$0")/.."
source bench/bench_photos.sh
BUILD_DIR=${1:-build}
RENDER="$BUILD_DIR/bin/pictora-render"
PHOTOS=${PHOTOS:-8}
SECONDS_PER_PHOTO=${SECONDS_PER_PHOTO:-3}
SEED=${SEED:-0}

[ -x "$RENDER" ] || { echo "build pictora-render first: cmake --build $BUILD_DIR --target pictora-render" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }

WORK=$(mktemp -d /tmp/pictora-motion-bench.XXXXXX)
if [ "${KEEP:-0}" != 1 ]; then trap 'rm -rf "$WORK"' EXIT; fi
echo "work folder: $WORK"

echo "making $PHOTOS photos of 4000x3000..."
make_photos "$WORK" "$PHOTOS" 3
mapfile -t PHOTO_FILES < <(ls "$WORK"/photo_*.jpg)

render() {
    local NAME=$1
    shift
    /usr/bin/time -f "%e %M" -o "$WORK/$NAME.time" \
        "$RENDER" --format MP4 --fps 24 --resolution 1080P --ratio 16:9 --image-duration "$SECONDS_PER_PHOTO" \
        --seed "$SEED" --stats "$@" --output "$WORK/$NAME" "${PHOTO_FILES[@]}" > /dev/null 2> "$WORK/$NAME.log"
}
frames() { ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets -of csv=p=0 "$1"; }
export_seconds() { awk '/^time total/ {print $3}' "$1"; }

echo "pictora-render, still photos on bars..."
render still
echo "pictora-render, --motion gentle --framing blur..."
render moving --motion gentle --framing blur

read -r S_WALL S_RSS < "$WORK/still.time"
read -r M_WALL M_RSS < "$WORK/moving.time"
S_EXPORT=$(export_seconds "$WORK/still.log")
M_EXPORT=$(export_seconds "$WORK/moving.log")

echo
echo "== ${#PHOTO_FILES[@]} photos of 12 MP, $SECONDS_PER_PHOTO s each, 1080P 24 fps MP4"
printf "%-22s %8s %10s %10s %12s\n" "" "wall s" "export s" "frames" "peak RSS MB"
printf "%-22s %8.2f %10.2f %10s %12.1f\n" "still, bars" "$S_WALL" "$S_EXPORT" "$(frames "$WORK/still.mp4")" \
    "$(echo "$S_RSS / 1024" | bc -l)"
printf "%-22s %8.2f %10.2f %10s %12.1f\n" "gentle, blur" "$M_WALL" "$M_EXPORT" "$(frames "$WORK/moving.mp4")" \
    "$(echo "$M_RSS / 1024" | bc -l)"
printf "wall time ratio moving/still: %.3f, export alone: %.3f   (target <= 1.5)\n" \
    "$(echo "$M_WALL / $S_WALL" | bc -l)" "$(echo "$M_EXPORT / $S_EXPORT" | bc -l)"
S_ENC=$(awk '/^time video encoder/ {print $4}' "$WORK/still.log")
M_ENC=$(awk '/^time video encoder/ {print $4}' "$WORK/moving.log")
printf "inside the video encoder: still %.2f s, moving %.2f s (ratio %.3f: moving pictures cost the encoder more)\n" \
    "$S_ENC" "$M_ENC" "$(echo "$M_ENC / $S_ENC" | bc -l)"
printf "the export's own work (all but the encoder): still %.2f s, moving %.2f s (ratio %.3f)\n" \
    "$(echo "$S_EXPORT - $S_ENC" | bc -l)" "$(echo "$M_EXPORT - $M_ENC" | bc -l)" \
    "$(echo "($M_EXPORT - $M_ENC) / ($S_EXPORT - $S_ENC)" | bc -l)"
echo
echo "still, bars: where the export's time went"
grep '^time ' "$WORK/still.log"
echo
echo "gentle, blur: where the export's time went"
grep '^time ' "$WORK/moving.log"
