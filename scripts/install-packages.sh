#!/usr/bin/env bash
# Installs the Debian packages named in the given lists (one or more names a
# line, # comments) that are not installed yet, with sudo when not root.
#   scripts/install-packages.sh .ci/packages-build.txt ...
set -euo pipefail
packages=$(cat "$@" | sed 's/#.*//' | tr -s ' \n' '\n' | sort -u)
missing=$(for p in $packages; do dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed' || echo "$p"; done)
if [ -n "$missing" ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
fi
