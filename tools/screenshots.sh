#!/usr/bin/env bash
# Takes the pictures of the user guide into doc/ from the running window,
# under a virtual X display (Xvfb):
#   doc/screenshot.png            the main window live on the SIM port
#   doc/screenshot-unplugged.png  the main window after its modem
#                                 (palvex-modemsim on a pseudo-terminal) was unplugged
#   doc/screenshot-terminal.png   the terminal window with Pause on
#   doc/screenshot-radio-lte.png, doc/screenshot-radio-nsa.png
#                                 the radio view over simulated LTE (EC25)
#                                 and NR5G-NSA (RM500Q) modules
#   doc/screenshot-pointing-lte.png, doc/screenshot-pointing-nsa.png
#                                 the antenna-pointing mode over the same
#   doc/screenshot-drive-map.png  the GeoJSON map of a simulated drive
#                                 (palvex-headless on SIM:EC25 with --gps
#                                 modem once around its loop, palvex-export),
#                                 drawn by palvex-drive-map
# Usage: tools/screenshots.sh [BUILD_DIR] [SECONDS_OF_HISTORY]
# BUILD_DIR defaults to build/; palvex-screenshots, palvex-modemsim,
# palvex-headless, palvex-export and palvex-drive-map are built there first. The run uses settings of its own, never the user's.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
seconds="${2:-20}"

if ! command -v xvfb-run >/dev/null || ! command -v Xvfb >/dev/null; then
  echo "screenshots: Xvfb is missing; install it with scripts/install-deps.sh (package xvfb)" >&2
  exit 2
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
  echo "screenshots: $build is not a configured build folder (cmake -S . -B build -G Ninja)" >&2
  exit 2
fi
cmake --build "$build" --target palvex-screenshots palvex-modemsim palvex-headless palvex-export palvex-drive-map

# A 1280 x 1024 screen, the window on the xcb platform as a user runs it.
QT_QPA_PLATFORM=xcb xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24" \
  "$build/tools/screenshots/palvex-screenshots" \
  --out "$here/doc" --modemsim "$build/tools/modemsim/palvex-modemsim" --seconds "$seconds"

# The drive: 680 cycles of 13.9 m each are the simulated loop of 1500 m
# around its centre; the records become GeoJSON, the GeoJSON a picture.
drive="$(mktemp -d)"
trap 'rm -rf "$drive"' EXIT
"$build/app/headless/palvex-headless" SIM:EC25 --gps modem --cycles 680 --quiet --log "$drive/drive.jsonl" >/dev/null
"$build/app/export/palvex-export" --format geojson --output "$drive/drive.geojson" "$drive/drive.jsonl"
QT_QPA_PLATFORM=offscreen "$build/tools/drive_map/palvex-drive-map" \
  --title "A simulated drive (SIM:EC25, --gps modem): RSRP by class" \
  "$drive/drive.geojson" "$here/doc/screenshot-drive-map.png"
