#!/usr/bin/env bash
# The real game on the SDL backend under a virtual X server: its window
# covers the screen, Escape on the main menu ends it with status 0, and a
# missing banner picture ends it with status 2 and the runtime error report.
# Usage: sdl_backend.sh <tandrel binary> <source folder>
set -uo pipefail

binary=$(realpath "$1")
source_dir=$(realpath "$2")
screen_w=1024
screen_h=768

for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A working folder like the game's: the data folder, or stand-in banners.
make_folder() {
  local folder=$1
  mkdir -p "$folder"
  if [[ -d "$source_dir/data" ]]; then cp -r "$source_dir/data/." "$folder/"; fi
  for banner in header1.bmp header2.bmp; do
    [[ -e "$folder/$banner" ]] || convert -size 200x50 xc:'#FF00FF' -fill '#00A000' -draw 'rectangle 10,10 190,40' \
      -type TrueColor "BMP3:$folder/$banner"
  done
}

# Runs the game in a folder under Xvfb; inside, $1 is the binary and the
# script in $2 is run alongside it with the game's pid in $game.
cat >"$work/session.sh" <<'EOF'
#!/usr/bin/env bash
binary=$(realpath "$1")
mode=$2
"$binary" 2>stderr.txt &
game=$!
if [[ $mode == escape ]]; then
  window=$(timeout 20 xdotool search --sync --name '^Tandrel$' | head -n 1)
  if [[ -z $window ]]; then echo "no window" >result.txt; kill "$game"; wait "$game"; exit 0; fi
  xdotool getwindowgeometry --shell "$window" >geometry.txt
  sleep 0.5
  xdotool windowfocus --sync "$window" 2>/dev/null
  xdotool mousemove 5 5
  xdotool key --clearmodifiers Escape
fi
for _ in $(seq 1 100); do
  kill -0 "$game" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$game" 2>/dev/null; then
  echo "still running" >result.txt
  kill "$game"
fi
wait "$game"
echo "status $?" >>result.txt
EOF

run_session() {
  local folder=$1 mode=$2
  (cd "$folder" && timeout 60 xvfb-run -a -s "-screen 0 ${screen_w}x${screen_h}x24" \
    bash "$work/session.sh" "$binary" "$mode")
}

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Escape on the main menu.
make_folder "$work/escape"
run_session "$work/escape" escape
result=$(cat "$work/escape/result.txt" 2>/dev/null)
[[ $result == "status 0" ]] || fail "Escape on the main menu: '$result', stderr: $(cat "$work/escape/stderr.txt" 2>/dev/null)"
if [[ -e "$work/escape/geometry.txt" ]]; then
  # shellcheck disable=SC1091
  source "$work/escape/geometry.txt"
  [[ ${WIDTH:-0} == "$screen_w" && ${HEIGHT:-0} == "$screen_h" && ${X:-1} == 0 && ${Y:-1} == 0 ]] ||
    fail "the window does not cover the screen: ${X:-}+${Y:-} ${WIDTH:-}x${HEIGHT:-}"
else
  fail "no window geometry"
fi

# A missing first banner.
make_folder "$work/missing"
rm -f "$work/missing/header1.bmp"
run_session "$work/missing" wait
result=$(cat "$work/missing/result.txt" 2>/dev/null)
[[ $result == "status 2" ]] || fail "missing header1.bmp: '$result'"
printf '\nAborting due to runtime error 2 (file not found) at line X of main::()\n\n' >"$work/expected.txt"
sed -E 's/at line [0-9]+ of/at line X of/' "$work/missing/stderr.txt" >"$work/actual.txt"
cmp -s "$work/expected.txt" "$work/actual.txt" ||
  fail "missing header1.bmp report: $(od -c "$work/missing/stderr.txt" | head -5)"

checks=4
echo "$((checks - failures)) passed, $failures failed"
((failures == 0))
