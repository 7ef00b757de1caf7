#!/usr/bin/env bash
# Remakes the README's screenshots with the headless driver, on a copy of
# data/ so that no highscore of the checkout changes.
# Usage: tools/make_screenshots.sh [build folder]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
driver="${1:-$root/build}/tandrel_headless_driver"
out="$root/docs/screenshots"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

shoot() {  # name, script lines...
  local name=$1
  shift
  rm -rf "$work/data" && cp -r "$root/data" "$work/data"
  printf '%s\n' "$@" > "$work/script.txt"
  (cd "$out" && "$driver" --dir "$work/data" --size 1366x768 --script "$work/script.txt") || [[ $? -eq 125 ]]
}

# 1366x768: cx 683, cy 384. "Klassisch" and the first map row at y 104..124, "Free (Beta)" and "Stadt" at 124..144.
shoot menu "at 0.35 shot main-menu.png" "end 0.4"
shoot desert "at 0.15 mouse 550 114 1" "at 0.4 mouse 550 114 0" "at 0.65 mouse 550 114 1" "at 0.9 mouse 550 114 0" \
  "at 3.0 hold 57" "at 3.05 release 57" "at 3.4 shot desert.png" "end 3.5"
shoot city "at 0.15 mouse 550 114 1" "at 0.4 mouse 550 114 0" "at 0.65 mouse 550 134 1" "at 0.9 mouse 550 134 0" \
  "at 5.0 shot city.png" "end 5.1"
shoot sky "at 0.15 mouse 550 134 1" "at 0.4 mouse 550 134 0" "at 0.65 mouse 550 114 1" "at 0.9 mouse 550 114 0" \
  "at 1.0 hold 17" "at 3.0 release 17" "at 4.0 shot sky.png" "end 4.1"
# The driver writes uncompressed PNGs; squeeze them for the repository.
for png in "$out"/*.png; do /usr/bin/convert "$png" -strip -define png:compression-level=9 "$png"; done
echo "screenshots in $out"
