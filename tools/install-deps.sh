#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages that building, playing and testing Quorvel need.
# Only what is missing is installed; safe to run again.
set -e
PACKAGES="
cmake g++ make pkg-config
qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
libbenchmark-dev
libfluidsynth-dev libmpg123-dev libpulse-dev qt6-multimedia-dev
timgm6mb-soundfont
fonts-liberation
xvfb xauth xdotool x11-utils
dbus at-spi2-core python3-pyatspi gir1.2-atspi-2.0
dpkg-dev file lintian desktop-file-utils appstream
"
missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
if [ "$(id -u)" = 0 ]; then SUDO=""; else SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO apt-get install -y -q --no-install-recommends $missing
