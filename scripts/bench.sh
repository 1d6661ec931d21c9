#!/usr/bin/env bash
# Builds the benchmark programs and runs them under Wine (on a private Xvfb, inside the build root) and
# prints one line per figure, "name: ratio", each measured against its floor in the same process:
#   scene-open-vs-read, scene-open-growth, particles-sorted-vs-floor, particles-emitter-vs-floor,
#   shader-material-growth, shader-warm-vs-floor, shader-cold-vs-warm, shader-warm-vs-floor-renderer
# What each figure was measured from (times, medians, spreads) goes to standard error; QIRN_BENCH_LOG
# names a file to keep it in instead; QIRN_BENCH_PROGRAMS picks programs (bench_scene bench_particle
# bench_shader). Not part of the test command: tests check behaviour, never times.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$here/buildroot.sh" ensure
# The build and the run end with this script however it ends (a kill -9 too).
setpriv --pdeathsig KILL -- "$here/buildroot.sh" run scripts/inroot.sh build >&2
# The run's output is kept in memory until the run has ended (no file that a kill -9 of this script would
# leave behind), and its figures are printed then. (The command substitution's process becomes setpriv:
# the run still ends with this script.)
status=0
if [ -n "${QIRN_BENCH_LOG:-}" ]; then
  output=$(exec setpriv --pdeathsig KILL -- "$here/buildroot.sh" run32 scripts/inroot.sh bench 2>"$QIRN_BENCH_LOG") || status=$?
else
  output=$(exec setpriv --pdeathsig KILL -- "$here/buildroot.sh" run32 scripts/inroot.sh bench) || status=$?
fi
printf '%s\n' "$output" |
  grep -E '^(scene-open-vs-read|scene-open-growth|particles-sorted-vs-floor|particles-emitter-vs-floor|shader-material-growth|shader-warm-vs-floor|shader-cold-vs-warm|shader-warm-vs-floor-renderer): ' || true
exit "$status"
