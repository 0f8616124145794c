#!/usr/bin/env bash
# What the build's include roots cannot keep: the compiler looks for a quoted
# include beside the including file first, so a path relative to it
# ("desktops/backends.h" from src/linux/, "../run/program.h") would reach
# headers the file's target does not see. Every project include is written
# from src/ ("folder/file.h"); the layers themselves are kept by the build
# (tests/layers/CMakeLists.txt).
# Usage: check_includes.sh <the src folder>
set -euo pipefail
src=$1

status=0
while IFS=: read -r file included; do
  if [[ $included == *..* || ! -f $src/$included || -f $(dirname "$file")/$included ]]; then
    echo "${file#"$src"/} includes \"$included\": not a path from src/" >&2
    status=1
  fi
done < <(grep -rHoE --include='*.h' --include='*.cpp' '^#include "[^"]+"' "$src" | sed -E 's/:#include "(.*)"$/:\1/')
[ $status -eq 0 ] && echo "every include names its header from src/"
exit $status
