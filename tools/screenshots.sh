#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Plays through the game's windows under Xvfb and saves a screenshot of each.
# usage: tools/screenshots.sh GAME_DIR OUT_DIR [SCALE]
# Needs Xvfb, xdotool and ImageMagick's import; uses openbox for window frames when present.
set -u
GAME_DIR=$(cd "$1" && pwd)
OUT=$2
SCALE=${3:-1}
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
DISPLAY_NUM=:$((90 + $$ % 9))
W=$((1280 * SCALE)); H=$((1024 * SCALE))

Xvfb "$DISPLAY_NUM" -screen 0 "${W}x${H}x24" -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
export DISPLAY=$DISPLAY_NUM
sleep 1
if command -v openbox >/dev/null; then openbox >/dev/null 2>&1 & WM=$!; else WM=""; fi
sleep 0.5
export QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$SCALE
n=0
shot() { n=$((n + 1)); import -window root "$OUT/$(printf %02d "$n")-$1.png"; }
key() { xdotool search --name "$2" windowactivate --sync 2>/dev/null; xdotool key --clearmodifiers "$1"; }
wait_for() { for _ in $(seq 1 50); do xdotool search --name "$1" >/dev/null 2>&1 && return 0; sleep 0.1; done; return 1; }
gone() { for _ in $(seq 1 100); do xdotool search --name "$1" >/dev/null 2>&1 || return 0; sleep 0.1; done; return 1; }

cd "$GAME_DIR" || exit 1
./quorvel & GAME=$!
wait_for "Загрузка игры" && shot splash || true
wait_for "Кворвел!"; gone "Загрузка игры"; sleep 0.5
shot greeting

# A second copy is refused.
./quorvel & SECOND=$!
wait_for "Ошибка пользователя." && sleep 0.6 && shot second-instance
xdotool key Return 2>/dev/null
sleep 0.5; kill $SECOND 2>/dev/null

key F9 "Кворвел!"; sleep 0.4; shot new-game
gone "Новая игра!"; sleep 0.3; shot question-1
key F3 "Кворвел!"; sleep 0.3; shot fifty-announcement
gone "Подсказка:"; sleep 0.5; shot fifty-result
key F2 "Кворвел!"; sleep 0.4; shot referendum-announcement
wait_for "Результаты референдума"; sleep 0.6; shot referendum-result
xdotool key Return
gone "Результаты референдума"
key F4 "Кворвел!"; wait_for "Заключение магистров таково:"; sleep 0.6; shot masters-result
xdotool key Return
gone "Заключение магистров таково:"; sleep 0.3
key alt+a "Кворвел!"; sleep 0.2; shot focus-a
key F5 "Кворвел!"; sleep 0.3; shot answer-accepted
sleep 3; shot answer-outcome
key F1 "Кворвел!"; wait_for "О программе"; sleep 0.5; shot help
xdotool key Escape
gone "О программе"; sleep 0.3
key F11 "Кворвел!"; sleep 1.5; shot music-off
key F12 "Кворвел!"; sleep 0.4; shot farewell
for _ in $(seq 1 100); do kill -0 $GAME 2>/dev/null || break; sleep 0.1; done

# Without the help file the About command reports it.
TMP=$(mktemp -d)
cp -r "$GAME_DIR"/. "$TMP"/ && rm -f "$TMP/ReadMe.txt"
cd "$TMP" && ./quorvel & GAME=$!
wait_for "Кворвел!"; gone "Загрузка игры"; sleep 0.5
key F1 "Кворвел!"; wait_for "Ошибка!"; sleep 0.6; shot missing-help
xdotool key Escape
sleep 0.3; kill $GAME 2>/dev/null
rm -rf "$TMP"

[ -n "$WM" ] && kill $WM 2>/dev/null
kill $XVFB 2>/dev/null
echo "$n screenshots in $OUT"
