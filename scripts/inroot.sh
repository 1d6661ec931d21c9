#!/usr/bin/env bash
# What runs inside the build root: build the third-party libraries and Qirn, then test or run it under
# Wine on an X display. Called by scripts/test.sh and scripts/run.sh through scripts/buildroot.sh.
#
#   inroot.sh build
#   inroot.sh test [ctest args...]
#   inroot.sh run [qirn.exe args...]
#   inroot.sh bench
set -euo pipefail

if [ -z "${QIRN_IN_ROOT:-}" ]; then
  echo "inroot.sh runs inside the build root: use scripts/test.sh or scripts/run.sh" >&2
  exit 2
fi

CLONE=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${QIRN_BUILD:-$CLONE/build}
# Runs never share a Wine prefix, and so never a wine server (Wine keys its server by the prefix): each
# run plays in a copy of one prepared prefix, made in a folder of the run's own that goes with the run,
# and the end of a run stops only its own server. QIRN_WINEPREFIX names a prefix to use as it is instead
# (made once, then reused: two runs at once must not name the same one).
PREPARED_PREFIX=/root/.qirn-wine-prepared
# The runs' folders (their logs and Wine prefixes), one each, in the root where all clones' runs meet.
RUNS=/tmp/qirn-runs
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: nothing here needs them, and their prompts would wait for a click.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

XVFB_PID=
SOUND_PID=
SOUND_DIR=
RUN_DIR=

log() { echo "qirn: $*" >&2; }

# Takes the lock of a file on the given descriptor; a run that has to wait for it says so. Whatever the
# script starts while it holds the lock inherits it: for the build, whose compilers are the work the lock
# stands for.
wait_for_lock() {
  local fd=$1 what=$2
  if ! flock -n "$fd"; then
    log "waiting for $what"
    flock "$fd"
  fi
}

# Takes the lock of a file until the shell that takes it ends, held by a process of its own that nothing the
# shell starts can inherit, and that ends with the shell however it ends (a kill -9 too): a display or sound
# server left behind by a killed run never keeps the next run waiting.
hold_lock() {
  local file=$1 what=$2 owner=$BASHPID fd line=
  exec {fd}< <(exec python3 "$CLONE/scripts/hold_lock.py" "$file" "$owner")
  read -r -u "$fd" line || true
  if [ "$line" = waiting ]; then
    log "waiting for $what"
    read -r -u "$fd" line || true
  fi
  if [ "$line" != locked ]; then
    log "could not lock $file"
    exit 1
  fi
}

build() {
  export QIRN_DEPS
  QIRN_DEPS=$("$CLONE/scripts/deps.sh")
  # Two runs from one clone share its build folder: one builds at a time.
  mkdir -p "$BUILD"
  exec 8>"$BUILD/.qirn-build.lock"
  wait_for_lock 8 "another build of $BUILD"
  if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S "$CLONE" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$CLONE/cmake/toolchain-i686-mingw.cmake" -DQIRN_DEPS="$QIRN_DEPS" >/dev/null
  fi
  cmake --build "$BUILD" -j "$(nproc)"
  exec 8>&-
}

# The run's folder: it holds everything the run makes outside the clone (logs, its Wine prefix, the sound
# server's folders, the test programs' result files) and goes with the run. Every program of the run
# carries its folder in QIRN_RUN_DIR (not in TMPDIR, which crashes Wine 10's wineserver). The run holds a
# lock on it while its script lives, so a folder whose lock nobody holds was left by a run that was
# killed: the next run ends what that run left running and removes its folder. Runs make and clear
# folders one at a time.
start_run_dir() {
  mkdir -p "$RUNS"
  exec 7>"$RUNS/.lock"
  flock 7
  local lock dir
  for lock in "$RUNS"/run.*.lock; do
    [ -e "$lock" ] || continue
    if flock -n "$lock" true; then clear_dead_run "${lock%.lock}"; fi
  done
  for dir in "$RUNS"/run.*/; do
    [ -d "$dir" ] && [ ! -e "${dir%/}.lock" ] && clear_dead_run "${dir%/}"
  done
  RUN_DIR=$(mktemp -d "$RUNS/run.XXXXXX")
  hold_lock "$RUN_DIR.lock" "the run folder $RUN_DIR"
  exec 7>&-
  trap stop_display EXIT
  export QIRN_RUN_DIR=$RUN_DIR
}

# Ends every process of a killed run (those whose environment names its folder: its display and sound
# servers, its wine server and test programs) and removes the run's folders.
clear_dead_run() {
  local dir=$1 pids i
  pids=$(grep -l -z -x -F "QIRN_RUN_DIR=$dir" /proc/[0-9]*/environ 2>/dev/null | cut -d / -f 3 || true)
  if [ -n "$pids" ]; then
    log "ending what a killed run left running in $dir"
    # shellcheck disable=SC2086
    kill -TERM $pids 2>/dev/null || true
    for i in $(seq 1 30); do
      # shellcheck disable=SC2086
      kill -0 $pids 2>/dev/null || break
      sleep 0.1
    done
    # shellcheck disable=SC2086
    kill -KILL $pids 2>/dev/null || true
  fi
  remove_server_dir "$dir/wine"
  rm -rf "$dir" "$dir.lock"
}

# The wine server's socket folder of a prefix of the run's own (named by the prefix's device and inode, in the
# folder that the prefix's "wineserver" file names) stays behind the server.
remove_server_dir() {
  local prefix=$1 base
  [ -d "$prefix" ] || return 0
  base=$(cat "$prefix/wineserver" 2>/dev/null || echo ".wine-$(id -u)")
  rm -rf "/tmp/${base:-.wine-$(id -u)}/server-$(stat -c %D "$prefix")-$(printf %x "$(stat -c %i "$prefix")")"
}

# Stops what the run started, its own wine server (and so every Wine process of its prefix) first,
# and removes the run's folder.
stop_display() {
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
  if [ -n "$SOUND_PID" ]; then
    kill "$SOUND_PID" 2>/dev/null || true
    wait "$SOUND_PID" 2>/dev/null || true
    SOUND_PID=
  fi
  if [ -n "$SOUND_DIR" ]; then
    rm -rf "$SOUND_DIR"
    SOUND_DIR=
  fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
  if [ -n "$RUN_DIR" ]; then
    if [ -z "${QIRN_WINEPREFIX:-}" ]; then remove_server_dir "$RUN_DIR/wine"; fi
    rm -rf "$RUN_DIR" "$RUN_DIR.lock"
    RUN_DIR=
  fi
}

# What a run starts is stopped however it ends: an interrupt or a kill ends the script through its exit trap.
trap 'exit 130' INT
trap 'exit 143' TERM

# Starts a private Xvfb on a free display number (Xvfb picks it and tells it through a file descriptor).
start_xvfb() {
  local numfile
  numfile=$RUN_DIR/display
  Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp +extension GLX 9>"$numfile" >"$RUN_DIR/xvfb.log" 2>&1 &
  XVFB_PID=$!
  local i
  for i in $(seq 1 100); do
    if [ -s "$numfile" ]; then break; fi
    if ! kill -0 "$XVFB_PID" 2>/dev/null; then
      cat "$RUN_DIR/xvfb.log" >&2
      log "Xvfb did not start"
      exit 1
    fi
    sleep 0.1
  done
  export DISPLAY=":$(head -n 1 "$numfile")"
  rm -f "$numfile"
  log "Xvfb on display $DISPLAY"
}

# A sound server of the run's own: PulseAudio with a null sink, which takes the samples at the rate they play
# (ALSA's null device, without a server, takes them as they come, at no steady rate: a music's position has
# been seen to run 1.7 times the clock). Wine's sound goes to the first driver that answers, PulseAudio before ALSA. Its socket,
# runtime and state folder are the run's own, so runs side by side never meet; it stops with the display.
start_sound() {
  SOUND_DIR=$RUN_DIR/sound
  mkdir "$SOUND_DIR"
  printf 'autospawn = no\nenable-shm = no\ncookie-file = %s/cookie\n' "$SOUND_DIR" >"$SOUND_DIR/client.conf"
  export PULSE_SERVER="unix:$SOUND_DIR/native" PULSE_CLIENTCONFIG="$SOUND_DIR/client.conf"
  # Without a display it starts no session bus of its own either (which would outlive the run).
  env -u DISPLAY XDG_RUNTIME_DIR="$SOUND_DIR" PULSE_RUNTIME_PATH="$SOUND_DIR" PULSE_STATE_PATH="$SOUND_DIR" \
    pulseaudio --daemonize=no -n --use-pid-file=no --exit-idle-time=-1 --disable-shm=yes \
    --realtime=no --high-priority=no --log-target=stderr \
    -L "module-null-sink sink_name=qirn" \
    -L "module-native-protocol-unix socket=$SOUND_DIR/native auth-anonymous=1 auth-cookie-enabled=0" \
    >"$SOUND_DIR/server.log" 2>&1 &
  SOUND_PID=$!
  local i
  for i in $(seq 1 100); do
    if [ -S "$SOUND_DIR/native" ] && pactl info >/dev/null 2>&1; then
      log "sound server: a null sink on $PULSE_SERVER"
      return
    fi
    if ! kill -0 "$SOUND_PID" 2>/dev/null; then break; fi
    sleep 0.1
  done
  cat "$SOUND_DIR/server.log" >&2
  log "the sound server did not start"
  exit 1
}

# Makes a Wine prefix once, with crash dialogs switched off so that no test waits on one. Another run
# may be making it at the same time: it is made under a lock, and ready once marked.
make_prefix() {
  local prefix=$1
  if [ -f "$prefix/.qirn-ready" ]; then return; fi
  mkdir -p "$(dirname "$prefix")"
  exec 5>"$prefix.lock"
  wait_for_lock 5 "another run making the Wine prefix $prefix"
  if [ ! -f "$prefix/.qirn-ready" ]; then
    log "creating the Wine prefix $prefix"
    (
      export WINEPREFIX=$prefix
      wineboot --init >"$RUN_DIR/wineboot.log" 2>&1 || { cat "$RUN_DIR/wineboot.log" >&2; exit 1; }
      wineserver -w
      wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
      wineserver -w
    ) 5>&-
    touch "$prefix/.qirn-ready"
  fi
  exec 5>&-
}

# The run's Wine prefix: a copy of the prepared one in the run's folder, or the one QIRN_WINEPREFIX names.
ensure_prefix() {
  if [ -n "${QIRN_WINEPREFIX:-}" ]; then
    make_prefix "$QIRN_WINEPREFIX"
    export WINEPREFIX=$QIRN_WINEPREFIX
    return
  fi
  make_prefix "$PREPARED_PREFIX"
  local start=$EPOCHREALTIME
  cp -a "$PREPARED_PREFIX" "$RUN_DIR/wine"
  export WINEPREFIX=$RUN_DIR/wine
  log "Wine prefix $WINEPREFIX, copied in $(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }') s"
}

# Starts the run's wine server and Wine's own processes (services, driver hosts, the desktop) before any
# program of the run, with their output in the run's folder; the server stays (-p) until the end of the
# run, which ends them all at once. Started by the first program instead, they wrote into that program's
# output, and shut down each time the last program had ended: Wine's driver host (winedevice.exe) can
# crash on that way out, and its "wine: Unhandled page fault" line came after a test program's result.
start_wine() {
  wineserver -p >>"$RUN_DIR/wine.log" 2>&1 || true
  if ! wineboot >>"$RUN_DIR/wine.log" 2>&1; then
    cat "$RUN_DIR/wine.log" >&2
    log "Wine did not start in $WINEPREFIX"
    exit 1
  fi
}

run_tests() {
  build
  # ctest keeps its records in the build folder, and tests write beside the programs: two test runs
  # of one clone take turns.
  hold_lock "$BUILD/.qirn-test.lock" "another test run of $BUILD"
  start_run_dir
  start_xvfb
  start_sound
  ensure_prefix
  start_wine
  local status=0
  if ! ctest --test-dir "$BUILD" --output-on-failure -j "$(nproc)" "$@" 2>&1 | tee "$BUILD/ctest-output.txt"; then
    status=1
  fi
  # What the device tests read back, then ctest's closing line again.
  local readings
  readings=$(grep -h -E '^render target ' "$BUILD/Testing/Temporary/LastTest.log" 2>/dev/null || true)
  if [ -n "$readings" ]; then
    echo
    echo "Device readings:"
    printf '%s\n' "$readings" | sed 's/^/  /'
    grep -E 'tests passed|tests failed' "$BUILD/ctest-output.txt" | tail -n 1
  fi
  return "$status"
}

# Saves what the private Xvfb shows as out/qirn-screen.png.
screenshot() {
  python3 "$CLONE/scripts/xscreen.py" "$CLONE/out/qirn-screen.png"
}

# Packs a demo (-demoexe or -demodat, the output, the description) in out/, where the pack also leaves its
# cabinets and the tool's output files, and gives qirn.exe's exit status. A pack still running after
# QIRN_RUN_SECONDS (300 by default) waits on a message that nobody answers here: the screen is saved and
# qirn.exe is stopped.
pack_demo() {
  # Packs of one clone leave their cabinets in the same place: they take turns.
  hold_lock "$CLONE/out/.qirn-pack.lock" "another pack in $CLONE/out"
  local output description
  output=$(winepath -w "$(realpath -m "$2")")
  description=$(winepath -w "$(realpath -m "$3")")
  (cd "$CLONE/out" && exec wine "$BUILD/shell/qirn.exe" "$1" "$output" "$description") &
  local pid=$! limit=${QIRN_RUN_SECONDS:-300} waited=0 status=0
  while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt "$limit" ]; do
    sleep 1
    waited=$((waited + 1))
  done
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid" || status=$?
    return "$status"
  fi
  screenshot
  log "qirn.exe did not end within $limit s; what it shows: out/qirn-screen.png"
  wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  return 1
}

# Runs qirn.exe (by default on the bundled example demo). On a desktop display it runs until its window is
# closed; on the private Xvfb it runs for a few seconds and what it shows is saved as out/qirn-screen.png
# (a pack runs to its end instead, see pack_demo).
run_program() {
  build
  local args=("$@")
  if [ ${#args[@]} -eq 0 ]; then args=("$CLONE/examples/demo/example.demo.ini"); fi
  local exe="$BUILD/shell/qirn.exe"
  if [ -n "${QIRN_DISPLAY:-}" ] && [ -S "/tmp/.X11-unix/X${QIRN_DISPLAY#:}" ]; then
    export DISPLAY=$QIRN_DISPLAY
    start_run_dir
    start_sound
    ensure_prefix
    start_wine
    wine "$exe" "${args[@]}"
    return
  fi
  start_run_dir
  start_xvfb
  start_sound
  ensure_prefix
  start_wine
  mkdir -p "$CLONE/out"
  if [ ${#args[@]} -eq 3 ] && { [ "${args[0]}" = -demoexe ] || [ "${args[0]}" = -demodat ]; }; then
    pack_demo "${args[@]}"
    return
  fi
  wine "$exe" "${args[@]}" &
  local pid=$!
  # Translated 32-bit code (see buildroot.sh run32) starts far more slowly.
  local wait=8
  if [ -n "${QIRN_EMULATED:-}" ]; then wait=30; fi
  sleep "${QIRN_RUN_SECONDS:-$wait}"
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid" || true
    log "qirn.exe ended before the screenshot"
    return 1
  fi
  screenshot
  log "what qirn.exe shows: out/qirn-screen.png"
  wineserver -k 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# Runs the benchmark programs on the private Xvfb, one after the other; each prints its figures on
# standard output and what they were measured from on standard error.
run_bench() {
  build
  start_run_dir
  start_xvfb
  start_sound
  ensure_prefix
  start_wine
  local program
  for program in ${QIRN_BENCH_PROGRAMS:-bench_scene bench_particle bench_shader}; do
    (cd "$BUILD" && wine "$BUILD/tests/$program.exe") || { log "$program failed"; return 1; }
  done
}

cmd=${1:-}
shift || true
case "$cmd" in
  build) build ;;
  test) run_tests "$@" ;;
  run) run_program "$@" ;;
  bench) run_bench ;;
  *)
    echo "usage: inroot.sh build | test [ctest args] | run [args] | bench" >&2
    exit 2
    ;;
esac
