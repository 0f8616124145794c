#!/usr/bin/env bash
# The layering of docs/architecture.md, checked on the sources: each folder
# includes only the project folders listed for it (the standard library and
# the decoders' libraries are not checked here).
# Usage: check_includes.sh <the src folder>
set -euo pipefail
src=$1

# folder: the project folders its files may include.
allowed() {
  case $1 in
    text) echo "text" ;;
    base) echo "base" ;;
    ports) echo "ports base" ;;
    settings) echo "settings ports base" ;;
    wallpaper) echo "wallpaper ports base text" ;;
    config_window) echo "config_window ports base text settings" ;;
    run) echo "run ports base text settings wallpaper" ;;
    pictures) echo "pictures ports base text" ;;
  esac
}

status=0
for folder in text base ports settings wallpaper config_window run pictures; do
  while IFS=: read -r file included; do
    target=${included%%/*}
    if ! grep -qw -- "$target" <<<"$(allowed "$folder")"; then
      echo "${file#"$src"/} includes $included" >&2
      status=1
    fi
  done < <(grep -rHoE '^#include "[^"]+"' "$src/$folder" | sed -E 's/:#include "(.*)"$/:\1/')
done
[ $status -eq 0 ] && echo "every folder includes only what its layer may"
exit $status
