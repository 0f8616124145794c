# Sourced: fresh Wine prefixes for the tests.
# new_wine_prefix sets WINEPREFIX to a new prefix under a temporary folder:
# a copy of $TESSARIN_WINE_TEMPLATE when set (the system's DLLs, which Wine
# never writes, hard-linked; everything else copied), else a prefix
# initialised with `wineboot -i`.
export WINEDEBUG=-all
# Wine names files on the host, and reads its arguments, in the locale's
# character set: the tests' non-ASCII names need a UTF-8 one, whatever the
# caller's (every Debian system has C.UTF-8).
export LC_ALL=C.UTF-8
# No Mono or Gecko installer: nothing here needs them. No menu builder: it
# mirrors every shortcut into the host's menus, where the entries would
# outlive the test's prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
PATH="$PATH:/usr/lib/wine"

new_wine_prefix() {
  WINEPREFIX="$(mktemp -d "${TMPDIR:-/tmp}/tessarin-wine.XXXXXX")"
  export WINEPREFIX
  if [ -n "${TESSARIN_WINE_TEMPLATE:-}" ]; then
    rm -rf "$WINEPREFIX"
    cp -al "$TESSARIN_WINE_TEMPLATE" "$WINEPREFIX"
    find "$WINEPREFIX" -type f -not -path '*/windows/system32/*' -not -path '*/windows/syswow64/*' \
      -not -path '*/windows/winsxs/*' -exec cp --remove-destination -p '{}' '{}.copy' ';' \
      -exec mv '{}.copy' '{}' ';'
  else
    initialise_wine_prefix
  fi
}

# Without a window manager (Xvfb alone) Wine waits two seconds for one to
# withdraw every closing window it manages; unmanaged windows close at once.
initialise_wine_prefix() {
  wine wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  wineserver -w
}

remove_wine_prefix() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
}
