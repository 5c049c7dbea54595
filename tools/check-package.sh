#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package that `make package` built: lintian, the desktop entry,
# the AppStream data, then the unpacked game must start from its installed folder.
# usage: tools/check-package.sh BUILD_DIR
# Needs lintian, desktop-file-utils and appstream (tools/install-deps.sh installs them).
set -eu
set -- "$1"/packages/quorvel_*.deb
[ $# -eq 1 ] && [ -f "$1" ] || { echo "expected one quorvel package, found: $*" >&2; exit 1; }
DEB=$1
ROOT=$(mktemp -d)
trap 'rm -rf "$ROOT"' EXIT
ROOT=$(cd "$ROOT" && pwd -P)
dpkg-deb -x "$DEB" "$ROOT"

echo "== lintian $(basename "$DEB")"
lintian --display-info --fail-on error,warning "$DEB"

echo "== desktop-file-validate"
set -- "$ROOT"/usr/share/applications/*.desktop
desktop-file-validate "$@"
echo "$(basename "$1"): ok"

echo "== appstreamcli validate --no-net"
appstreamcli validate --no-net "$ROOT"/usr/share/metainfo/*.metainfo.xml

echo "== contents"
ID=$(basename "$1" .desktop)
for path in usr/lib/games/quorvel/quorvel usr/lib/games/quorvel/questions.qvr \
    usr/lib/games/quorvel/ReadMe.txt usr/lib/games/quorvel/sounds/14.mp3 usr/bin/qvr \
    usr/share/icons/hicolor/scalable/apps/"$ID".svg usr/share/icons/hicolor/16x16/apps/"$ID".png \
    usr/share/icons/hicolor/256x256/apps/"$ID".png usr/share/man/man6/quorvel.6.gz \
    usr/share/man/ru/man6/quorvel.6.gz usr/share/man/man1/qvr.1.gz usr/share/man/ru/man1/qvr.1.gz \
    usr/share/doc/quorvel/copyright usr/share/doc/quorvel/changelog.Debian.gz; do
    [ -s "$ROOT/$path" ] || { echo "missing: /$path" >&2; exit 1; }
done
for n in 1 2 3 4 5 6 7 8 9 10 11 12 13 15 16; do
    [ -s "$ROOT/usr/lib/games/quorvel/sounds/$n.mid" ] || { echo "missing: sounds/$n.mid" >&2; exit 1; }
done
# The game folder holds the game and nothing else (no build leftovers).
extra=$(cd "$ROOT/usr/lib/games/quorvel" && find . -mindepth 1 \
    ! -path ./quorvel ! -path ./questions.qvr ! -path ./ReadMe.txt ! -path ./sounds \
    ! -path './sounds/[0-9]*.mid' ! -path ./sounds/14.mp3)
[ -z "$extra" ] || { echo "the game folder holds more than the game:" $extra >&2; exit 1; }
[ "$(readlink "$ROOT/usr/games/quorvel")" = ../lib/games/quorvel/quorvel ] ||
    { echo "/usr/games/quorvel is not the relative link to the game" >&2; exit 1; }
dpkg-deb -f "$DEB" Depends | grep -q 'libqt6widgets6' ||
    { echo "Depends lacks the shared libraries" >&2; exit 1; }
"$ROOT/usr/bin/qvr" check "$ROOT/usr/lib/games/quorvel/questions.qvr"
echo "all files in place"

echo "== start-up of the unpacked game, through /usr/games/quorvel"
out=$(cd / && QT_QPA_PLATFORM=offscreen QUORVEL_STARTUP_CHECK=1 timeout 120 \
    "$ROOT/usr/games/quorvel" 2>"$ROOT/stderr") || {
    cat "$ROOT/stderr" >&2
    echo "the game did not finish its start-up" >&2
    exit 1
}
echo "$out"
[ "$out" = "quorvel: start-up complete in $ROOT/usr/lib/games/quorvel/" ] ||
    { echo "the game did not start from its installed folder" >&2; exit 1; }
echo "package checks passed"
