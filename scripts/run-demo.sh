#!/usr/bin/env bash
# Builds the program and starts it beside a demo database (when the tool can build one).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
if [ -x build/vaskdb ] && build/vaskdb --help 2>/dev/null | grep -q '^  demo'; then
  [ -f build/zelbo.mdb ] || build/vaskdb demo build/zelbo.mdb
  printf 'pathdbdati=%s/\r\nnomeDbDati=zelbo.mdb\r\n' "$(pwd)/build" > build/WZELBO.INI
fi
exec build/vask
