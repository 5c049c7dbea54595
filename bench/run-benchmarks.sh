#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every benchmark against a build folder; prints what it measures.
# usage: bench/run-benchmarks.sh BUILD_DIR
set -eu
BUILD=$(cd "$1" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
echo "== question bank"
"$BUILD/bench/bench_content"
TMP=$(mktemp -d)
"$BUILD/bench/load_bank" make "$TMP" >/dev/null
echo "maximal bank, whole process: $("$BUILD/bench/load_bank" load "$TMP")"
echo "maximal bank, pieces: $("$BUILD/bench/load_bank" gaps "$TMP")"
rm -rf "$TMP"
echo "== sound"
"$BUILD/bench/bench_sound" 2>/dev/null
echo "== start-up"
sh "$HERE/startup.sh" "$BUILD" 15
