#!/usr/bin/env bash
# Builds Qirn and runs it under Wine inside the build root (created first when missing). Without a
# desktop it draws on a private Xvfb; QIRN_DISPLAY=:0 hands a desktop display over instead.
# On the Xvfb what it shows after a few seconds is saved as out/qirn-screen.png; a pack (-demoexe,
# -demodat) runs to its end instead.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/buildroot.sh" ensure
# Built where packages and sources can be fetched; run where 32-bit programs can run. The build ends
# with this script however it ends (a kill -9 too), as the run does, which takes this script's place.
setpriv --pdeathsig KILL -- "$here/buildroot.sh" run scripts/inroot.sh build
exec "$here/buildroot.sh" run32 scripts/inroot.sh run "$@"
