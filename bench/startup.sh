#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up of the game against a bare Qt window, offscreen and under Xvfb.
# usage: bench/startup.sh BUILD_DIR [RUNS]
set -eu
BUILD=$(cd "$1" && pwd)
RUNS=${2:-15}
TMPF=$(mktemp)
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
measure() { # platform mode
    : > "$TMPF"
    for _ in $(seq 1 "$RUNS"); do
        t0=$(date +%s%N)
        out=$(QT_QPA_PLATFORM=$1 "$BUILD/bench/startup" "$2" "$BUILD/game" 2>/dev/null)
        t1=$(date +%s%N)
        echo "$out $(( (t1 - t0) / 1000000 ))" >> "$TMPF"
    done
    inner=$(cut -d' ' -f1 "$TMPF" | median)
    whole=$(cut -d' ' -f3 "$TMPF" | median)
    rss=$(cut -d' ' -f2 "$TMPF" | sort -n | tail -1)
    echo "$1 $2: to step 13 ${inner} ms, whole process ${whole} ms, peak RSS ${rss} MB"
    rm -f "$TMPF"
    eval "last_$2=$whole"
}
for platform in offscreen xcb; do
    if [ "$platform" = xcb ]; then
        Xvfb :97 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 & XVFB=$!
        export DISPLAY=:97
        sleep 1
    fi
    measure "$platform" bare
    measure "$platform" game
    echo "$platform ratio game/bare (whole process): $(echo "$last_game $last_bare" | awk '{printf "%.2f", $1/$2}')"
    [ "$platform" = xcb ] && kill $XVFB
done
