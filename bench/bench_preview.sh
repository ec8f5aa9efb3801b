#!/bin/bash
# The preview under an X server: an album of 10 photos of 12 megapixels, a
# 10-second 1080p clip between photos 5 and 6 (10 transitions in all) and
# background music, played through the real preview and player at 1/2 and
# 1/1 quality, with a seek back into the clip, a second's pause there and a
# seek forward; the sound devices write to files (SDL's disk driver).
#
#   bench/bench_preview.sh [BUILD_DIR]            (default: build)
#   bench/bench_preview.sh [BUILD_DIR] nodevice   the same photos and clip without a sound device:
#                                                 SDL_AUDIODRIVER naming no driver, then "dummy"
#
# Environment: KEEP=1 keeps the work folder; SCALES (default "2 1") the
# quality divisors to play at; NODEVICE_SCALE (default 1) the divisor
# without a device; PICTORA_BENCH_VERBOSE=1 prints every click;
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

# Left, a click (10 ms of 1 kHz) at every whole second: the sound's own
# clock. Right, a ramp from 0.1 to 0.9 over every 8 s: where in the sound
# each 10 ms are, looked up in the file decoded by the ffmpeg CLI (*_ref.raw).
SOUND="0.8*sin(2*PI*1000*t)*lt(mod(t\,1)\,0.01)|0.1+0.8*mod(t\,8)/8"
echo "making 10 photos of 4000x3000, the clip and the music..."
make_photos "$WORK" 10 2
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc2=s=1920x1080:r=30:d=10" \
    -f lavfi -i "aevalsrc=$SOUND:s=44100:c=stereo:d=10" \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 192k "$WORK/clip.mp4"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "aevalsrc=$SOUND:s=44100:c=stereo:d=70" \
    -c:a libmp3lame -b:a 192k "$WORK/music.mp3"
for f in music.mp3 clip.mp4; do
    ffmpeg -hide_banner -loglevel error -y -i "$WORK/$f" -vn -f s16le -ac 2 -ar 44100 "$WORK/${f%.*}_ref.raw"
done

if [ "${2:-}" = nodevice ]; then
    for driver in no-such-driver dummy; do
        echo "== SDL_AUDIODRIVER=$driver"
        SDL_AUDIODRIVER=$driver QT_QPA_PLATFORM=xcb XDG_DATA_HOME="$WORK/xdg" \
            xvfb-run -a -s "-screen 0 1280x1024x24" "$BENCH" "$WORK" nodevice 2>${BENCH_STDERR:-/dev/null}
    done
    exit 0
fi

QT_QPA_PLATFORM=xcb XDG_DATA_HOME="$WORK/xdg" \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$BENCH" "$WORK" ${SCALES:-2 1} 2>${BENCH_STDERR:-/dev/null}
