#!/usr/bin/env bash
# Takes the manual's screenshots anew from the real windows against a real velmora-server with the
# demo data, on a virtual X display without a window manager, and writes them to docs/screenshots
# (or to the folder given), so that the pictures cannot drift from the program. Some pictures need
# servers of their own: one with a certificate (made twice, for the changed-certificate warning),
# one with a backup folder, one stopped while an order is typed, and 200,000 order lines for
# 经营分析 and the order list.
# Usage: scripts/manual-screenshots.sh [FOLDER]
# VELMORA_BUILD_DIR names another build directory than build/.
set -euo pipefail
cd "$(dirname "$0")/.."

out="$(realpath -m "${1:-docs/screenshots}")"
build="${VELMORA_BUILD_DIR:-build}"
scripts/install-deps.sh test >/dev/null
cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target velmora-server manual_screenshots

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$out"
# A settings and data folder of its own: no trusted server or draft of the user's shows up.
XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" VELMORA_SCREENSHOT_DIR="$out" \
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x900x24" \
    "$build/tests/screenshots/manual_screenshots" -silent
echo "Screenshots written to $out"
