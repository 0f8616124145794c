#!/usr/bin/env bash
# The .deb's files are exactly the expected list, its dependencies were found
# by dpkg-shlibdeps, and its desktop entries, AppStream metadata and man page
# pass their validators.
#   deb_contents.sh PACKAGE.deb EXPECTED_FILE_LIST
set -euo pipefail
deb=$1 expected=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./|/|' | LC_ALL=C sort >"$work/files"
diff -u "$expected" "$work/files" || fail "the file list differs from $(basename "$expected")"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libjpeg62-turbo libgif7 libspng0 libseccomp2 libcairo2 libqt6widgets6 libc6; do
  [[ "$depends" == *"$library "* ]] || fail "Depends lacks $library: $depends"
done
[ "$(dpkg-deb -f "$deb" Recommends)" = qt6-wayland ] || fail "Recommends: $(dpkg-deb -f "$deb" Recommends)"

dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/tessarin.desktop" \
  "$work/root/usr/share/tessarin/tessarin-logon.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml || fail "appstreamcli"
man_warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
  man --warnings -E UTF-8 -l -Tutf8 -Z "$work/root/usr/share/man/man1/tessarin.1.gz" 2>&1 >/dev/null)
[ -z "$man_warnings" ] || fail "man page: $man_warnings"
for section in SYNOPSIS FIELDS SETTINGS FILES "EXIT STATUS" DESKTOPS "LOGON RUN"; do
  zgrep -q "^\.SH \"\?$section\"\?$" "$work/root/usr/share/man/man1/tessarin.1.gz" ||
    fail "man page lacks $section"
done

echo "$failures check(s) failed"
[ "$failures" -eq 0 ]
