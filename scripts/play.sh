#!/usr/bin/env bash
# Builds Tandrel and starts it full screen. The game plays in a folder of its
# own (~/.local/share/tandrel) so highscores survive rebuilds and never touch
# the checkout: pictures are refreshed from data/, map files only copied once.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

play_dir="${XDG_DATA_HOME:-$HOME/.local/share}/tandrel"
mkdir -p "$play_dir"
(cd "$root/data" && find . -type d) | while read -r dir; do mkdir -p "$play_dir/$dir"; done
(cd "$root/data" && find . -type f) | while read -r file; do
  if [[ $(basename "$file") == map.def ]]; then
    [[ -e "$play_dir/$file" ]] || cp "$root/data/$file" "$play_dir/$file"
  else
    cp "$root/data/$file" "$play_dir/$file"
  fi
done
cd "$play_dir"
exec "$root/build/tandrel"
