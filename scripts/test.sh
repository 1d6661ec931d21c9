#!/usr/bin/env bash
# Builds Qirn and runs every test under Wine (device tests on a private Xvfb), inside the build root,
# which is created first when missing. Extra arguments go to ctest (e.g. -L unit, -LE device, -R name).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/buildroot.sh" ensure
# Built where packages and sources can be fetched; run where 32-bit programs can run. The build ends
# with this script however it ends (a kill -9 too), as the run does, which takes this script's place.
setpriv --pdeathsig KILL -- "$here/buildroot.sh" run scripts/inroot.sh build
exec "$here/buildroot.sh" run32 scripts/inroot.sh test "$@"
