#!/usr/bin/env bash
# lintian on the .deb: every tag it reports is shown; an error fails.
#   deb_lintian.sh PACKAGE.deb
set -euo pipefail
deb=$1
lintian --allow-root --display-info --display-experimental --pedantic --fail-on error "$deb"
echo "lintian: no errors"
