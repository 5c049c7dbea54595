#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# The screen-reader test: the game on a private X server and accessibility bus,
# driven and heard by tests/atspi_play.py. Exit 77 (skipped) only when a
# package it needs is missing; tools/install-deps.sh installs them all.
# usage: tests/atspi-test.sh GAME_DIR
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
GAME=$(cd "$1" && pwd)
missing=""
command -v Xvfb >/dev/null || missing="$missing xvfb"
command -v dbus-run-session >/dev/null || missing="$missing dbus"
LAUNCHER=""
for l in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
  [ -x "$l" ] && LAUNCHER=$l
done
[ -n "$LAUNCHER" ] || missing="$missing at-spi2-core"
PY=/usr/bin/python3
"$PY" -c "import pyatspi" 2>/dev/null || missing="$missing python3-pyatspi"
if [ -n "$missing" ]; then
  echo "SKIPPED: the screen-reader test needs:$missing (tools/install-deps.sh installs them)"
  exit 77
fi
DISPLAY_NUM=:$((100 + $$ % 50))
Xvfb "$DISPLAY_NUM" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
XVFB=$!
trap 'kill $XVFB 2>/dev/null' EXIT
sleep 1
RUNTIME=$(mktemp -d)
chmod 700 "$RUNTIME"
export DISPLAY=$DISPLAY_NUM XDG_RUNTIME_DIR=$RUNTIME QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export NO_AT_BRIDGE=0 GTK_MODULES=gail:atk-bridge
dbus-run-session -- sh -c "'$LAUNCHER' --launch-immediately & sleep 1; '$PY' '$HERE/atspi_play.py' '$GAME'"
rc=$?
rm -rf "$RUNTIME"
exit $rc
