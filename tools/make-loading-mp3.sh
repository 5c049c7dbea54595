#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Regenerates data/sounds/14.mp3, the loading tune, from data/cues/14-loading.txt:
# midigen writes the MIDI file, fluidsynth renders it through the General MIDI soundfont,
# sox makes it mono, fades out the reverb tail and sets the peak to -8 dBFS (about as loud
# as the effects through the game's decoder), lame encodes.
# The build only copies the committed mp3, so none of these tools is needed to build.
#
#   tools/make-loading-mp3.sh [MIDIGEN]
#
# MIDIGEN defaults to build/release/tools/midigen in the repository; SOUNDFONT to the
# Debian timgm6mb-soundfont file.
set -eu
repo=$(cd "$(dirname "$0")/.." && pwd)
midigen=${1:-$repo/build/release/tools/midigen}
[ -d "$midigen" ] && midigen=$midigen/midigen
soundfont=${SOUNDFONT:-/usr/share/sounds/sf2/TimGM6mb.sf2}
cue=$repo/data/cues/14-loading.txt
out=$repo/data/sounds/14.mp3

for tool in fluidsynth sox lame; do
    command -v "$tool" >/dev/null || { echo "error: $tool is needed" >&2; exit 2; }
done
[ -f "$midigen" ] && [ -x "$midigen" ] || { echo "error: $midigen not found; build the midigen target first" >&2; exit 2; }
[ -f "$soundfont" ] || { echo "error: soundfont $soundfont not found; set SOUNDFONT" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$midigen" "$cue" -o "$work/14.mid"
length=$("$midigen" --length "$work/14.mid")
fluidsynth -ni -q -g 0.2 -r 44100 -F "$work/render.wav" "$soundfont" "$work/14.mid" >/dev/null
# Keep the cue's own length plus a little of the reverb, faded so it does not stop dead.
keep=$(awk -v l="$length" 'BEGIN { printf "%.3f", l + 0.5 }')
sox "$work/render.wav" "$work/mono.wav" remix - trim 0 "$keep" fade t 0.005 "$keep" 1.2 gain -n -8
mkdir -p "$(dirname "$out")"
lame --quiet -m m -b 96 "$work/mono.wav" "$work/14.mp3"
mv "$work/14.mp3" "$out"
echo "wrote $out ($(soxi -D "$out") s)"
