#!/usr/bin/env bash
# The .deb of scripts/package.sh, built from two clones of the last commit in
# folders of different depths, is the same byte for byte, and lintian (pedantic,
# with its notes) has nothing to say about it. Uncommitted changes are not
# in the clones.
# The clones are made afresh in WORK_FOLDER at each run; at the same places,
# so that ccache serves a later run.
#   deb_reproducible.sh SOURCE_CHECKOUT WORK_FOLDER
set -euo pipefail
source=$1 work=$2
commit=$(git -C "$source" rev-parse HEAD)

build_deb() {  # folder
  rm -rf "$1"
  git clone -q --no-checkout "$source" "$1"
  git -C "$1" checkout -q "$commit"
  "$1/scripts/package.sh" deb >"$1.log" 2>&1 || { cat "$1.log" >&2; exit 1; }
  echo "$1/dist/tessarin_"*_amd64.deb
}
first=$(build_deb "$work/a/tessarin")
second=$(build_deb "$work/second/build/of/tessarin")

if ! cmp "$first" "$second"; then
  for deb in "$first" "$second"; do
    mkdir -p "$deb.d" && (cd "$deb.d" && ar x "$deb")
    (cd "$deb.d" && tar -tvf data.tar.xz && tar -tvf control.tar.* && cat ./*/md5sums 2>/dev/null) \
      >"$deb.list" || true
  done
  diff "$first.list" "$second.list" || true
  echo "FAILED: the two builds differ"
  exit 1
fi
echo "the two builds are the same: $(sha256sum <"$first" | cut -d' ' -f1)"

report=$(lintian --allow-root --display-info --display-experimental --pedantic "$first")
[ -z "$report" ] || { echo "FAILED: lintian reports"$'\n'"$report"; exit 1; }
echo "lintian: nothing to report"
