#!/bin/bash
# Clip export benchmark: one 60-second 1080p H.264 clip with sound (30 fps)
# exported to 1080P 25 fps MP4 by pictora-render and by the ffmpeg CLI doing
# the same work: decode, fit (scale) and pad to 1920x1080, fps=25, libx264
# veryfast zerolatency and AAC of the clip's sound, the same frame count.
# Prints wall time and peak memory (RSS) of both, their ratio, and where
# Pictora's time went.
#
# Usage: bench/bench_export_clip.sh [BUILD_DIR]      (default: build)
# Environment: CLIP_SECONDS (default 60), RUNS (default 1; the best run of
#              each side counts), KEEP=1 keeps the work folder.
set -euo pipefail

cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}
RENDER="$BUILD_DIR/bin/pictora-render"
LENGTH=${CLIP_SECONDS:-60}
RUNS=${RUNS:-1}
FPS=25
FRAMES=$((LENGTH * FPS))

[ -x "$RENDER" ] || { echo "build pictora-render first: cmake --build $BUILD_DIR --target pictora-render" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 1; }

WORK=$(mktemp -d /tmp/pictora-bench-clip.XXXXXX)
if [ "${KEEP:-0}" != 1 ]; then trap 'rm -rf "$WORK"' EXIT; fi
echo "work folder: $WORK"

# 1. The clip: a moving test pattern at 1920x1080, 30 fps (so that the fps
#    filter drops frames), H.264 in MP4, with a stereo tone as AAC.
echo "making a ${LENGTH} s 1080p clip..."
ffmpeg -hide_banner -loglevel error -y \
    -f lavfi -i "testsrc2=s=1920x1080:r=30:d=$LENGTH" \
    -f lavfi -i "aevalsrc=exprs='0.3*sin(2*PI*440*t)|0.3*sin(2*PI*660*t)':s=44100:d=$LENGTH" \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 128k "$WORK/clip.mp4"
cat "$WORK/clip.mp4" > /dev/null   # both sides start from the page cache

best() { sort -n | head -1; }

# 2. Pictora: the clip alone, 1080P 16:9, 25 fps, MP4 (H.264 veryfast
#    zerolatency, AAC 44100 Hz stereo, automatic bit rates), its sound kept.
for ((r = 0; r < RUNS; r++)); do
    /usr/bin/time -f "%e %M" -o "$WORK/pictora.time.$r" \
        "$RENDER" --format MP4 --fps $FPS --resolution 1080P --ratio 16:9 --seed 0 --keep-audio 1 \
        --stats --output "$WORK/pictora" "$WORK/clip.mp4" > /dev/null 2> "$WORK/pictora.log.$r"
done

# 3. The ffmpeg CLI: the same decode, the same filters (the clip already is
#    1920x1080, so scale and pad keep its size), fps=25, the same encoders
#    and settings, the same number of frames.
GRAPH="[0:v]format=pix_fmts=yuv420p,scale=1920:1080,pad=w=1920:h=1080:x=0:y=0:color=black,fps=$FPS[v]"
for ((r = 0; r < RUNS; r++)); do
    /usr/bin/time -f "%e %M" -o "$WORK/cli.time.$r" \
        ffmpeg -hide_banner -loglevel error -y -i "$WORK/clip.mp4" -filter_complex "$GRAPH" \
        -map "[v]" -map 0:a -frames:v $FRAMES \
        -c:v libx264 -preset veryfast -tune zerolatency -c:a aac -ar 44100 -ac 2 "$WORK/cli.mp4"
done

P_WALL=$(cat "$WORK"/pictora.time.* | awk '{print $1}' | best)
P_RSS=$(cat "$WORK"/pictora.time.* | awk '{print $2}' | best)
C_WALL=$(cat "$WORK"/cli.time.* | awk '{print $1}' | best)
C_RSS=$(cat "$WORK"/cli.time.* | awk '{print $2}' | best)
# The stats of Pictora's fastest run.
P_BEST_LOG=$(for f in "$WORK"/pictora.log.*; do echo "$(awk '/^time total/ {print $3}' "$f") $f"; done | sort -n | head -1 | cut -d' ' -f2)

frames() { ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets -of csv=p=0 "$1"; }
duration() { ffprobe -v error -select_streams "$2" -show_entries stream=duration -of csv=p=0 "$1"; }

echo
echo "== ${LENGTH} s 1080p 30 fps H.264 clip -> 1080P $FPS fps MP4 (expected $FRAMES frames), best of $RUNS"
printf "%-14s %8s %8s %10s %10s %12s\n" "" "wall s" "frames" "video s" "audio s" "peak RSS MB"
printf "%-14s %8.2f %8s %10s %10s %12.1f\n" "pictora-render" "$P_WALL" "$(frames "$WORK/pictora.mp4")" \
    "$(duration "$WORK/pictora.mp4" v:0)" "$(duration "$WORK/pictora.mp4" a:0)" "$(echo "$P_RSS / 1024" | bc -l)"
printf "%-14s %8.2f %8s %10s %10s %12.1f\n" "ffmpeg CLI" "$C_WALL" "$(frames "$WORK/cli.mp4")" \
    "$(duration "$WORK/cli.mp4" v:0)" "$(duration "$WORK/cli.mp4" a:0)" "$(echo "$C_RSS / 1024" | bc -l)"
P_EXPORT=$(awk '/^time total/ {print $3}' "$P_BEST_LOG")
printf "wall time ratio pictora/CLI: %.3f, the export alone (without reading the material in): %.3f   (target <= 1.1)\n" \
    "$(echo "$P_WALL / $C_WALL" | bc -l)" "$(echo "$P_EXPORT / $C_WALL" | bc -l)"
printf "peak memory ratio pictora/CLI: %.3f\n" "$(echo "$P_RSS / $C_RSS" | bc -l)"
echo
echo "pictora-render: where the export's time went (clip decoding and filtering count as 'preparing pictures')"
grep '^time ' "$P_BEST_LOG"
