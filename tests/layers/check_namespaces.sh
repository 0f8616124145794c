#!/usr/bin/env bash
# Namespaces follow the folders (docs/architecture.md): every namespace a file
# in src/<folder>/ opens at file level is the folder's, so that a name's
# namespace says where its file is. base/ is tessarin itself; the platform
# folders end in _platform ("linux" is a macro in GNU mode); the metafile
# module's C interface, in pictures/, keeps the module's namespace.
# Usage: check_namespaces.sh <the src folder>
set -euo pipefail
src=$1

expected() {
  local folder=$1
  case $folder in
    base) echo tessarin ;;
    linux | linux/*) echo "tessarin::linux_platform${folder#linux}" ;;
    windows) echo tessarin::windows_platform ;;
    *) echo "tessarin::$folder" ;;
  esac | sed 's#/#::#g'
}

status=0
while IFS= read -r file; do
  relative=${file#"$src"/}
  want=$(expected "$(dirname "$relative")")
  [[ $relative == pictures/metafile_module.h ]] && want=tessarin::pictures::metafile
  while read -r opened; do
    # Inner namespaces (settings::keys, config_window::layout) group constants.
    if [[ $opened != "$want" && $opened != "$want"::* ]]; then
      echo "$relative opens namespace $opened: its folder's is $want" >&2
      status=1
    fi
  done < <(grep -oE '^namespace tessarin[a-z0-9_:]*' "$file" | cut -d' ' -f2)
done < <(find "$src" -name '*.h' -o -name '*.cpp' | sort)
[ $status -eq 0 ] && echo "every namespace follows its folder"
exit $status
