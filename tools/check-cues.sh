#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders every sound of a built game folder through the General MIDI soundfont and checks
# its length, that it is not silent and that it does not clip; with gst-launch-1.0 present
# it also plays each MIDI file through a second, independent player (midiparse ! fluiddec).
#
#   tools/check-cues.sh BUILD_GAME_DIR [KEEP_DIR]
#
# KEEP_DIR, if given, keeps the rendered WAVs and a spectrogram PNG of each cue.
# Environment: MIDIGEN (default: the build's tools/midigen, then PATH),
# SOUNDFONT (default the Debian timgm6mb-soundfont file).
set -u

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    echo "usage: $0 BUILD_GAME_DIR [KEEP_DIR]" >&2
    exit 2
fi
game=$1
sounds=$game/sounds
soundfont=${SOUNDFONT:-/usr/share/sounds/sf2/TimGM6mb.sf2}

midigen=${MIDIGEN:-}
if [ -z "$midigen" ]; then
    for candidate in "$game/../tools/midigen"; do
        if [ -f "$candidate" ] && [ -x "$candidate" ]; then
            midigen=$candidate
            break
        fi
    done
    [ -z "$midigen" ] && midigen=$(command -v midigen || true)
fi
for tool in fluidsynth sox soxi; do
    if ! command -v "$tool" >/dev/null; then
        echo "error: $tool is needed (Debian packages fluidsynth, sox, libsox-fmt-mp3)" >&2
        exit 2
    fi
done
if [ -z "$midigen" ] || [ ! -x "$midigen" ]; then
    echo "error: midigen not found; build the midigen target or set MIDIGEN" >&2
    exit 2
fi
if [ ! -f "$soundfont" ]; then
    echo "error: soundfont $soundfont not found; set SOUNDFONT" >&2
    exit 2
fi
gst=""
if command -v gst-launch-1.0 >/dev/null && gst-inspect-1.0 fluiddec >/dev/null 2>&1; then
    gst=yes
fi

if [ $# -eq 2 ]; then
    work=$2
    mkdir -p "$work" || exit 2
else
    work=$(mktemp -d) || exit 2
    trap 'rm -rf "$work"' EXIT
fi

# file  shortest  longest, one place for the game's tests and this script
table=$(grep -v '^#' "$(dirname "$0")/../data/cue-lengths.txt")
min_rms=0.005   # clearly above the noise floor of a silent 16-bit render
max_peak=0.99   # a 16-bit render that clipped sits at full scale

# Prints "RMS PEAK" of a sound file.
levels() {
    sox "$1" -n stat 2>&1 | awk '
        /^Maximum amplitude/ { mx = $3 }
        /^Minimum amplitude/ { mn = -$3 }
        /^RMS +amplitude/    { rms = $3 }
        END { if (rms == "") exit 1; printf "%s %.4f\n", rms, (mx > mn ? mx : mn) }'
}

failures=0
while read -r name lo hi; do
    [ -z "$name" ] && continue
    file=$sounds/$name
    problems=""
    if [ ! -f "$file" ]; then
        printf '%-7s FAIL missing %s\n' "$name" "$file"
        failures=$((failures + 1))
        continue
    fi
    base=${name%.*}
    wav=$work/$base.wav
    gstinfo=""
    case $name in
    *.mid)
        if ! length=$("$midigen" --length "$file" 2>&1); then
            printf '%-7s FAIL %s\n' "$name" "$length"
            failures=$((failures + 1))
            continue
        fi
        if ! fluidsynth -ni -q -g 0.2 -r 44100 -F "$wav" "$soundfont" "$file" >"$work/$base.log" 2>&1 ||
            [ ! -s "$wav" ]; then
            problems="$problems fluidsynth-failed"
        fi
        if [ -n "$gst" ]; then
            gwav=$work/$base.gst.wav
            if gst-launch-1.0 -q filesrc location="$file" ! midiparse ! \
                fluiddec soundfont="$soundfont" ! audioconvert ! wavenc ! \
                filesink location="$gwav" >"$work/$base.gst.log" 2>&1 && [ -s "$gwav" ]; then
                glen=$(soxi -D "$gwav" 2>/dev/null)
                gstinfo=" decoder ${glen:-?} s"
                # The decoder must play the whole file, closing rest included.
                if [ -z "$glen" ] || ! awk -v a="$glen" -v b="$length" \
                    'BEGIN { d = a - b; exit !(d < 0.1 && d > -0.1) }'; then
                    problems="$problems decoder-length"
                fi
            else
                problems="$problems decoder-error"
            fi
        fi
        ;;
    *)
        if ! sox "$file" "$wav" 2>"$work/$base.log"; then
            problems="$problems cannot-decode"
        fi
        length=$(soxi -D "$wav" 2>/dev/null || echo 0)
        ;;
    esac
    if ! awk -v x="$length" -v lo="$lo" -v hi="$hi" 'BEGIN { exit !(x >= lo && x <= hi) }'; then
        problems="$problems length-out-of-$lo-$hi"
    fi
    if read -r rms peak < <(levels "$wav"); then
        awk -v r="$rms" -v m="$min_rms" 'BEGIN { exit !(r > m) }' || problems="$problems silent"
        awk -v p="$peak" -v m="$max_peak" 'BEGIN { exit !(p < m) }' || problems="$problems clips"
    else
        rms=? peak=?
        problems="$problems no-levels"
    fi
    if [ $# -eq 2 ] && [ -f "$wav" ]; then
        # 0-4 kHz of the first 15 s, where the notes and their harmonics show as lines.
        sox "$wav" -n remix - trim 0 15 rate 8k spectrogram -t "$name" -x 1000 -y 400 -z 90 \
            -o "$work/$base.png" 2>/dev/null
    fi
    status=ok
    [ -n "$problems" ] && status="FAIL$problems" && failures=$((failures + 1))
    printf '%-7s length %7.3f s (%s-%s)  rms %s  peak %s%s  %s\n' \
        "$name" "$length" "$lo" "$hi" "$rms" "$peak" "$gstinfo" "$status"
done <<<"$table"

if [ "$failures" -gt 0 ]; then
    echo "$failures cue(s) failed"
    exit 1
fi
echo "all cues passed"
