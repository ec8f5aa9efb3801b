#!/bin/sh
# The player engine under an X server: pictures pushed at 25 fps, embedded
# SDL display and Qt-drawn display, against a bare SDL loop.
#
#   bench/bench_player.sh [BUILD_DIR]      (default: build)
#
# Environment: SECONDS_PER_RUN (default 10), SIZE (default 1920x1080).
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
BENCH=$BUILD/bin/bench_player
RUN=${SECONDS_PER_RUN:-10}
SIZE=${SIZE:-1920x1080}

if [ ! -x "$BENCH" ]; then
    echo "bench_player not found in $BUILD/bin; build the project first" >&2
    exit 2
fi

OUT=$(QT_QPA_PLATFORM=xcb SDL_AUDIODRIVER=dummy \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$BENCH" "$RUN" "${SIZE%x*}" "${SIZE#*x}" 2>/dev/null)
echo "$OUT"

value() { echo "$OUT" | sed -n "s/^$1=//p"; }
echo "ratio.embedded_display_cpu_vs_bare_sdl=$(echo "scale=2; $(value embedded.display_cpu_pct) / $(value bare_sdl.cpu_pct)" | bc)"
echo "ratio.qt_drawn_display_cpu_vs_bare_sdl=$(echo "scale=2; $(value qt_drawn.display_cpu_pct) / $(value bare_sdl.cpu_pct)" | bc)"
