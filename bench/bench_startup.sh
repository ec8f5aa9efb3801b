#!/bin/sh
# Start-up time of the real program under an X server: from its launch until
# its main window is mapped, against a bare Qt Widgets window.
#
#   bench/bench_startup.sh [BUILD_DIR]      (default: build)
#
# Environment: RUNS (default 7).
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
BENCH=$BUILD/bin/bench_startup
RUNS=${RUNS:-7}

if [ ! -x "$BENCH" ] || [ ! -x "$BUILD/bin/Pictora" ]; then
    echo "bench_startup or Pictora not found in $BUILD/bin; build the project first" >&2
    exit 2
fi

QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" "$BENCH" "$BUILD/bin/Pictora" "$RUNS" 2>/dev/null
