#!/bin/bash
# Export benchmark: an album of 12-megapixel photos, 3 s each, 1080P 24 fps
# MP4, rendered by pictora-render and by the ffmpeg CLI with the same
# pictures, transitions and encoder settings. Prints wall time, peak memory
# (RSS) and frame counts of both, their ratios, and where Pictora's time went;
# then renders 200 pictures with Pictora to show that its memory stays flat.
#
# Usage: bench/bench_export_images.sh [BUILD_DIR]      (default: build)
# Environment: PHOTOS (default 20), LARGE (default 200; 0 skips that run),
#              SEED (default 0), KEEP=1 keeps the work folder.
set -euo pipefail

cd "$(dirname "$0")/.."
source bench/bench_photos.sh
BUILD_DIR=${1:-build}
RENDER="$BUILD_DIR/bin/pictora-render"
PHOTOS=${PHOTOS:-20}
LARGE=${LARGE:-200}
SEED=${SEED:-0}
FPS=24
IMAGE_FRAMES=72          # 3 s at 24 fps
TRANSITION_FRAMES=48     # 2 s at 24 fps

[ -x "$RENDER" ] || { echo "build pictora-render first: cmake --build $BUILD_DIR --target pictora-render" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }

WORK=$(mktemp -d /tmp/pictora-bench.XXXXXX)
if [ "${KEEP:-0}" != 1 ]; then trap 'rm -rf "$WORK"' EXIT; fi
echo "work folder: $WORK"

# 1. Photos: 4000x3000 JPEGs with noise, so that none is trivially compressible.
echo "making $PHOTOS photos of 4000x3000..."
make_photos "$WORK" "$PHOTOS" 3
mapfile -t PHOTO_FILES < <(ls "$WORK"/photo_*.jpg)

# The transitions Pictora's picker gives for this seed: it starts at index
# SEED of the effect table and steps by 3 (modulo 23) for every transition.
EFFECTS=(fadeblack fadewhite rectcrop radial hblur pixelize zoomin slidedown slideleft slideright
         wipeup wipedown wipeleft wiperight smoothup smoothdown smoothleft smoothright
         circleclose circleopen vertclose vertopen horzclose)

# 2. Pictora.
echo "pictora-render, $PHOTOS photos..."
/usr/bin/time -f "%e %M %U %S" -o "$WORK/pictora.time" \
    "$RENDER" --format MP4 --fps $FPS --resolution 1080P --ratio 16:9 --image-duration 3 --seed "$SEED" \
    --stats --output "$WORK/pictora" "${PHOTO_FILES[@]}" > /dev/null 2> "$WORK/pictora.log"
read -r P_WALL P_RSS P_USER P_SYS < "$WORK/pictora.time"

# 3. The same album with the ffmpeg CLI: each photo decoded once, fitted to
#    1440x1080 and padded to 1920x1080 on black (the photos are opaque, so the
#    grey backdrop never shows), repeated with the loop filter for its frames
#    (the picture's own, plus the transitions it takes part in), chained with
#    xfade at Pictora's offsets; libx264 veryfast zerolatency and a silent AAC
#    track, as Pictora writes them.
N=${#PHOTO_FILES[@]}
INPUTS=()
GRAPH=""
for ((k = 0; k < N; k++)); do
    INPUTS+=(-framerate $FPS -i "${PHOTO_FILES[$k]}")
    FRAMES=$IMAGE_FRAMES
    ((k > 0)) && FRAMES=$((FRAMES + TRANSITION_FRAMES))
    ((k < N - 1)) && FRAMES=$((FRAMES + TRANSITION_FRAMES))
    GRAPH+="[$k:v]scale=1440:1080,format=yuv420p,pad=1920:1080:240:0:black,setsar=1,"
    GRAPH+="loop=loop=$((FRAMES - 1)):size=1:start=0,settb=1/$FPS,setpts=N[v$k];"
done
LAST="v0"
for ((k = 0; k < N - 1; k++)); do
    EFFECT=${EFFECTS[$(((SEED + 3 * k) % 23))]}
    OFFSET=$(((IMAGE_FRAMES + k * (IMAGE_FRAMES + TRANSITION_FRAMES)) / FPS))
    GRAPH+="[$LAST][v$((k + 1))]xfade=transition=$EFFECT:duration=2:offset=$OFFSET[x$k];"
    LAST="x$k"
done
TOTAL=$((N * IMAGE_FRAMES + (N - 1) * TRANSITION_FRAMES))
GRAPH+="[$LAST]format=yuv420p[out]"
echo "ffmpeg CLI, $N photos..."
/usr/bin/time -f "%e %M %U %S" -o "$WORK/cli.time" \
    ffmpeg -hide_banner -loglevel error -y "${INPUTS[@]}" -f lavfi -i "anullsrc=r=44100:cl=stereo" \
    -filter_complex "$GRAPH" -map "[out]" -map "$N:a" -frames:v $TOTAL -t $((TOTAL / FPS)) \
    -c:v libx264 -preset veryfast -tune zerolatency -c:a aac "$WORK/cli.mp4"
read -r C_WALL C_RSS C_USER C_SYS < "$WORK/cli.time"

frames() { ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets -of csv=p=0 "$1"; }
P_FRAMES=$(frames "$WORK/pictora.mp4")
C_FRAMES=$(frames "$WORK/cli.mp4")

echo
echo "== $N photos of 12 MP, 3 s each, 1080P $FPS fps MP4 (expected $TOTAL frames)"
printf "%-14s %8s %10s %12s\n" "" "wall s" "frames" "peak RSS MB"
printf "%-14s %8.2f %10s %12.1f\n" "pictora-render" "$P_WALL" "$P_FRAMES" "$(echo "$P_RSS / 1024" | bc -l)"
printf "%-14s %8.2f %10s %12.1f\n" "ffmpeg CLI" "$C_WALL" "$C_FRAMES" "$(echo "$C_RSS / 1024" | bc -l)"
P_EXPORT=$(awk '/^time total/ {print $3}' "$WORK/pictora.log")
printf "wall time ratio pictora/CLI: %.3f, the export alone (without reading in the materials): %.3f   (target <= 0.6)\n" \
    "$(echo "$P_WALL / $C_WALL" | bc -l)" "$(echo "$P_EXPORT / $C_WALL" | bc -l)"
printf "peak memory ratio pictora/CLI: %.3f (target <= 0.25)\n" "$(echo "$P_RSS / $C_RSS" | bc -l)"
# CPU time (user + system) depends less on what else runs than wall time.
printf "CPU time: pictora-render %.1f s, CLI %.1f s, ratio %.3f; load average %s\n" \
    "$(echo "$P_USER + $P_SYS" | bc -l)" "$(echo "$C_USER + $C_SYS" | bc -l)" \
    "$(echo "($P_USER + $P_SYS) / ($C_USER + $C_SYS)" | bc -l)" "$(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "pictora-render: where the export's time went"
grep '^time ' "$WORK/pictora.log"
ENC=$(awk '/^time video encoder/ {print $4}' "$WORK/pictora.log")
printf "inside the video encoder: %.1f %% of the export (target >= 50 %%)\n" "$(echo "100 * $ENC / $P_EXPORT" | bc -l)"

# 4. Memory against album length: the same photos under other names (a file
#    is in an album once), LARGE of them.
if [ "$LARGE" -gt 0 ]; then
    mkdir -p "$WORK/large"
    LINKS=()
    for ((i = 0; i < LARGE; i++)); do
        LINK="$WORK/large/p_$(printf %04d "$i").jpg"
        ln -s "${PHOTO_FILES[$((i % N))]}" "$LINK"
        LINKS+=("$LINK")
    done
    echo
    echo "pictora-render, $LARGE photos..."
    /usr/bin/time -f "%e %M" -o "$WORK/large.time" \
        "$RENDER" --format MP4 --fps $FPS --resolution 1080P --ratio 16:9 --image-duration 3 --seed "$SEED" \
        --stats --output "$WORK/large/album" "${LINKS[@]}" > /dev/null 2> "$WORK/large.log"
    read -r L_WALL L_RSS < "$WORK/large.time"
    L_FRAMES=$(frames "$WORK/large/album.mp4")
    echo "== memory against album length"
    printf "%4d photos: %8.2f s, %6s frames, peak RSS %.1f MB\n" "$N" "$P_WALL" "$P_FRAMES" "$(echo "$P_RSS / 1024" | bc -l)"
    printf "%4d photos: %8.2f s, %6s frames, peak RSS %.1f MB\n" "$LARGE" "$L_WALL" "$L_FRAMES" "$(echo "$L_RSS / 1024" | bc -l)"
    printf "peak memory %d / %d photos: %.3f (target within 1.10)\n" "$LARGE" "$N" "$(echo "$L_RSS / $P_RSS" | bc -l)"
    grep '^time total' "$WORK/large.log"
fi
