#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The game's sound through a real PulseAudio server on a null sink, whose monitor
# is recorded: command to first audible sample, silence at the loop point of the
# music between games, CPU of the whole game while that music loops (beside the
# fluidsynth command-line player, the floor), stalls of the user-interface thread
# (also with the server stopped for 5 s), peak memory.
#
#   bench/sound-pulse.sh BUILD_DIR [BENCH_PULSE]
#
# BUILD_DIR holds game/quorvel and, unless BENCH_PULSE names another build of it,
# bench/bench_pulse. A server already running is used; otherwise one is started
# and stopped again at the end.
#
# Needs, beyond the game's packages (none of it is needed to build or to play):
#   apt-get install pulseaudio pulseaudio-utils fluidsynth sox
set -eu
BUILD=$(cd "$1" && pwd)
PROBE=${2:-$BUILD/bench/bench_pulse}
GAME=$BUILD/game
SOUNDFONT=${SOUNDFONT:-/usr/share/sounds/sf2/TimGM6mb.sf2}
SECONDS_CPU=${SECONDS_CPU:-20}
for tool in pulseaudio pactl parec fluidsynth; do
    command -v "$tool" >/dev/null || { echo "error: $tool is needed (see the head of $0)" >&2; exit 2; }
done
started=""
if ! pactl info >/dev/null 2>&1; then
    pulseaudio --start --exit-idle-time=-1 2>/dev/null
    started=yes
fi
pactl list short sinks | grep -q '^[0-9]*[[:space:]]nul[[:space:]]' ||
    pactl load-module module-null-sink sink_name=nul >/dev/null
pactl set-default-sink nul
SERVER=$(pgrep -o -u "$(id -u)" -x pulseaudio)
work=$(mktemp -d)
cleanup() {
    kill -CONT "$SERVER" 2>/dev/null || true
    rm -rf "$work"
    [ -n "$started" ] && pulseaudio --kill 2>/dev/null || true
}
trap cleanup EXIT

# CPU seconds (user + system) of a process so far.
cpu() { awk -v t="$(getconf CLK_TCK)" '{ printf "%.3f", ($14 + $15) / t }' "/proc/$1/stat"; }
cpu_share() { # pid seconds
    a=$(cpu "$1"); sleep "$2"; b=$(cpu "$1")
    awk -v a="$a" -v b="$b" -v s="$2" 'BEGIN { printf "%.2f", 100 * (b - a) / s }'
}

echo "== $BUILD"
"$PROBE" latency nul.monitor 2>/dev/null
"$PROBE" loop nul.monitor "$GAME/sounds/8.mid" "${LOOP_SECONDS:-75}" 2>/dev/null
fluidsynth -ni -q -R 0 -C 0 -g 0.2 -r 44100 -O s16 -T raw -F "$work/8.stereo" "$SOUNDFONT" \
    "$GAME/sounds/8.mid" >/dev/null 2>&1
if command -v sox >/dev/null; then
    sox -t raw -r 44100 -e signed -b 16 -c 2 "$work/8.stereo" -t raw -c 1 "$work/8.raw" remix -
    "$PROBE" silences "$work/8.raw"
fi
"$PROBE" stall 2>/dev/null
"$PROBE" stall "$SERVER" 2>/dev/null

# The whole game, as started by a player, while the music between games loops.
(cd "$GAME" && QT_QPA_PLATFORM=offscreen exec ./quorvel >/dev/null 2>&1) &
game=$!
sleep 10 # start-up and the loading tune are over; the music between games plays
ga=$(cpu "$game"); sa=$(cpu "$SERVER"); sleep "$SECONDS_CPU"; gb=$(cpu "$game"); sb=$(cpu "$SERVER")
share() { awk -v a="$1" -v b="$2" -v s="$SECONDS_CPU" 'BEGIN { printf "%.2f", 100 * (b - a) / s }'; }
echo "game CPU while 8.mid loops: $(share "$ga" "$gb") % of one core (goal < 3); the sound server meanwhile: $(share "$sa" "$sb") %"
echo "game peak memory: $(awk '/VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$game/status") MiB (goal < 80)"
kill "$game"; wait "$game" 2>/dev/null || true

# The floor: the same file played by the fluidsynth command-line player into the same server.
set -- ; for _ in $(seq 1 20); do set -- "$@" "$GAME/sounds/8.mid"; done
fluidsynth -a pulseaudio -ni -q -R 0 -C 0 -g 0.2 "$SOUNDFONT" "$@" >/dev/null 2>&1 &
floor=$!
sleep 2
echo "fluidsynth CLI playing 8.mid (the floor): $(cpu_share "$floor" "$SECONDS_CPU") % of one core"
kill "$floor"; wait "$floor" 2>/dev/null || true
