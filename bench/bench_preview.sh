#!/bin/bash
# The preview under an X server: an album of 10 photos of 12 megapixels, a
# 10-second 1080p clip between photos 5 and 6 (10 transitions in all) and
# background music, played through the real preview and player at 1/2 and
# 1/1 quality, with a seek back into the clip and one forward.
#
#   bench/bench_preview.sh [BUILD_DIR]      (default: build)
#
# Environment: KEEP=1 keeps the work folder; SCALES (default "2 1") the
# quality divisors to play at; PICTORA_BENCH_VERBOSE=1 prints every click;
# MOTION=gentle moves the photos, FRAMING=fill|blur frames them without bars.
set -euo pipefail

cd "$(dirname "$0")/.."
source bench/bench_photos.sh
BUILD_DIR=${1:-build}
BENCH="$BUILD_DIR/bin/bench_preview"
[ -x "$BENCH" ] || { echo "build bench_preview first: cmake --build $BUILD_DIR --target bench_preview" >&2; exit 1; }

WORK=$(mktemp -d /tmp/pictora-preview-bench.XXXXXX)
if [ "${KEEP:-0}" != 1 ]; then trap 'rm -rf "$WORK"' EXIT; fi
echo "work folder: $WORK"

# A click (10 ms of 1 kHz) at every whole second: the sound's own clock.
CLICKS="0.8*sin(2*PI*1000*t)*lt(mod(t\,1)\,0.01)"
echo "making 10 photos of 4000x3000, the clip and the music..."
make_photos "$WORK" 10 2
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=s=1920x1080:r=30:d=10" \
    -f lavfi -i "aevalsrc=$CLICKS:s=44100:c=stereo:d=10" \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 192k "$WORK/clip.mp4"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "aevalsrc=$CLICKS:s=44100:c=stereo:d=70" \
    -c:a libmp3lame -b:a 192k "$WORK/music.mp3"

QT_QPA_PLATFORM=xcb XDG_DATA_HOME="$WORK/xdg" \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$BENCH" "$WORK" ${SCALES:-2 1} 2>${BENCH_STDERR:-/dev/null}
