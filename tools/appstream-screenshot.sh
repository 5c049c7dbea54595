#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the AppStream screenshot from the real game: the main window, with its
# frame, at the first question of a new game.
# usage: tools/appstream-screenshot.sh GAME_DIR [OUT]   (OUT: data/screenshots/question.png)
# Needs Xvfb, openbox, xdotool and ImageMagick's import.
set -eu
GAME_DIR=$(cd "$1" && pwd)
OUT=${2:-$(cd "$(dirname "$0")/.." && pwd)/data/screenshots/question.png}
mkdir -p "$(dirname "$OUT")"
DISPLAY_NUM=:$((80 + $$ % 9))

Xvfb "$DISPLAY_NUM" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 & XVFB=$!
export DISPLAY=$DISPLAY_NUM QT_QPA_PLATFORM=xcb
sleep 1
openbox >/dev/null 2>&1 & WM=$!
sleep 0.5
cleanup() { kill "$GAME" "$WM" "$XVFB" 2>/dev/null || true; }
GAME=""
trap cleanup EXIT

wait_for() { for _ in $(seq 1 100); do xdotool search --name "$1" >/dev/null 2>&1 && return 0; sleep 0.1; done; return 1; }
gone() { for _ in $(seq 1 100); do xdotool search --name "$1" >/dev/null 2>&1 || return 0; sleep 0.1; done; return 1; }

cd "$GAME_DIR"
./quorvel & GAME=$!
wait_for "Кворвел!"; gone "Загрузка игры"; sleep 0.5
WIN=$(xdotool search --name "Кворвел!" | head -n 1)
xdotool windowactivate --sync "$WIN"; xdotool key --clearmodifiers F9
sleep 0.4; gone "Новая игра!"; sleep 0.5
import -window "$WIN" -frame "$OUT.tmp.png"
# No time stamps or comments in the file: the same window gives the same bytes.
convert "$OUT.tmp.png" -strip -define png:exclude-chunks=date,time "$OUT"
rm -f "$OUT.tmp.png"
echo "screenshot: $OUT ($(identify -format '%wx%h' "$OUT"))"
