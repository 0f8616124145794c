#!/usr/bin/env bash
# The layering of docs/architecture.md, checked on the sources: each folder
# includes only the project folders listed for it (the standard library and
# the decoders' libraries are not checked here).
# Usage: check_includes.sh <the src folder>
set -euo pipefail
src=$1

# folder: the project folders its files may include ("platform" means the
# interfaces alone, not a platform's own folder).
allowed() {
  case $1 in
    text) echo "text" ;;
    settings) echo "settings platform" ;;
    wallpaper) echo "wallpaper platform text" ;;
    config_window) echo "config_window platform text settings" ;;
    run) echo "run platform text settings wallpaper" ;;
    modules) echo "modules" ;;
    pictures) echo "pictures platform modules" ;;
  esac
}

status=0
for folder in text modules settings wallpaper config_window run pictures; do
  while IFS=: read -r file included; do
    target=${included%%/*}
    # A platform's own folder is not one of the interfaces.
    case $included in platform/linux/* | platform/qt/* | platform/win32/*) target=${included%/*} ;; esac
    if ! grep -qw -- "$target" <<<"$(allowed "$folder")" || [[ $target == platform/* ]]; then
      echo "${file#"$src"/} includes $included" >&2
      status=1
    fi
  done < <(grep -rHoE '^#include "[^"]+"' "$src/$folder" | sed -E 's/:#include "(.*)"$/:\1/')
done
[ $status -eq 0 ] && echo "every folder includes only what its layer may"
exit $status
