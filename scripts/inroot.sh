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
# One Wine prefix inside the root, reused; QIRN_WINEPREFIX gives a run its own (parallel runs must not
# share one: the end of a run stops its prefix's wine server).
export WINEPREFIX=${QIRN_WINEPREFIX:-/root/.qirn-wine}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: nothing here needs them, and their prompts would wait for a click.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

XVFB_PID=
SOUND_PID=
SOUND_DIR=

log() { echo "qirn: $*" >&2; }

build() {
  export QIRN_DEPS
  QIRN_DEPS=$("$CLONE/scripts/deps.sh")
  if [ ! -f "$BUILD/build.ninja" ]; then
    cmake -S "$CLONE" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$CLONE/cmake/toolchain-i686-mingw.cmake" -DQIRN_DEPS="$QIRN_DEPS" >/dev/null
  fi
  cmake --build "$BUILD" -j "$(nproc)"
}

stop_display() {
  wineserver -k 2>/dev/null || true
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
}

# What a run starts is stopped however it ends: an interrupt or a kill ends the script through its exit trap.
trap 'exit 130' INT
trap 'exit 143' TERM

# Starts a private Xvfb on a free display number (Xvfb picks it and tells it through a file descriptor).
start_xvfb() {
  local numfile
  numfile=$(mktemp)
  Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp +extension GLX 9>"$numfile" >/tmp/qirn-xvfb.log 2>&1 &
  XVFB_PID=$!
  trap stop_display EXIT
  local i
  for i in $(seq 1 100); do
    if [ -s "$numfile" ]; then break; fi
    if ! kill -0 "$XVFB_PID" 2>/dev/null; then
      cat /tmp/qirn-xvfb.log >&2
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
  SOUND_DIR=$(mktemp -d /tmp/qirn-sound.XXXXXX)
  trap stop_display EXIT
  printf 'autospawn = no\nenable-shm = no\ncookie-file = %s/cookie\n' "$SOUND_DIR" >"$SOUND_DIR/client.conf"
  export PULSE_SERVER="unix:$SOUND_DIR/native" PULSE_CLIENTCONFIG="$SOUND_DIR/client.conf"
  # Without a display it starts no session bus of its own either (which would outlive the run).
  env -u DISPLAY XDG_RUNTIME_DIR=$SOUND_DIR PULSE_RUNTIME_PATH=$SOUND_DIR PULSE_STATE_PATH=$SOUND_DIR \
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

# The Wine prefix is made once and reused; crash dialogs are switched off so that no test waits on one.
ensure_prefix() {
  if [ ! -f "$WINEPREFIX/.qirn-ready" ]; then
    log "creating the Wine prefix $WINEPREFIX"
    wineboot --init >/tmp/qirn-wineboot.log 2>&1 || { cat /tmp/qirn-wineboot.log >&2; exit 1; }
    wineserver -w
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.qirn-ready"
  fi
}

run_tests() {
  build
  start_xvfb
  start_sound
  ensure_prefix
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
    start_sound
    ensure_prefix
    wine "$exe" "${args[@]}"
    return
  fi
  start_xvfb
  start_sound
  ensure_prefix
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
  start_xvfb
  start_sound
  ensure_prefix
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
