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
# QIRN_RUNS names another place (the tests of these commands keep their runs' folders apart from the runs
# beside them: a run can end only the processes of its own PID namespace, and a killed run's folder in a
# shared place could be cleared from another namespace, whose runs never see what it left running).
RUNS=${QIRN_RUNS:-/tmp/qirn-runs}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers: nothing here needs them, and their prompts would wait for a click.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# The run's state (and the build's): what the script sets as they start and go, and what their stops
# (stop_run, stop_build) read.
RUN_KIND=          # the kind of run (test, run, bench), which names its Wine log (wine-KIND.log)
RUN_DIR=           # the run's folder (see start_run_dir), QIRN_RUN_DIR in the environment of all it starts
XVFB_PID=          # the run's private Xvfb, if it has one (its display number is in the run's folder)
SOUND_PID=         # the run's sound server
SOUND_DIR=         # the sound server's folder (its socket, runtime and state) in the run's folder
PROGRAM_NAME=qirn.exe  # the program the run runs, as its lines name it
PROGRAM_FOLDER=    # the folder the program starts in (the current folder when empty)
PROGRAM_PID=       # the shell in the background that runs the program (see start_program)
RELAY_PID=         # what passes the program's output on (scripts/program_output.py)
TIMER_PID=         # the timer of a wait for the program's end, while it waits (see program_ends_within)
PROGRAM_STATUS=    # the program's exit status, once program_ends_within has seen it end
BUILD_PID=         # cmake or ninja while a build runs them (see build)
declare -A LOCK_HOLDER=()  # the process that holds each lock hold_lock took, by the lock's file
declare -A LOCK_FD=()      # the descriptor this shell reads that process on, by the lock's file
INTERRUPTED=       # set when an interrupt ends the script (see ending)
ENDING=            # set once the script has begun to end by an interrupt or a request to end
# What the run exports for the programs it starts: DISPLAY (the run's display), PULSE_SERVER and
# PULSE_CLIENTCONFIG (its sound server), WINEPREFIX (its Wine prefix) and QIRN_RUN_DIR.

log() { echo "qirn: $*" >&2; }

# Takes the lock of a file on the given descriptor; a run that has to wait for it says so. Whatever the
# script starts while it holds the lock inherits it.
wait_for_lock() {
  local fd=$1 what=$2
  if ! flock -n "$fd"; then
    log "waiting for $what"
    flock "$fd"
  fi
}

# Takes the lock of a file until the shell that takes it ends, held by a process of its own that nothing the
# shell starts can inherit, and that ends with the shell however it ends (a kill -9 too): a display or sound
# server, or a compiler, left behind by a killed run never keeps the next run waiting. The holder is kept
# in LOCK_HOLDER and LOCK_FD under the lock's file, for release_lock.
hold_lock() {
  local file=$1 what=$2 owner=$BASHPID fd holder line= status=0
  exec {fd}< <(exec python3 "$CLONE/scripts/hold_lock.py" "$file" "$owner")
  holder=$!
  LOCK_HOLDER[$file]=$holder LOCK_FD[$file]=$fd
  read -r -u "$fd" line || true
  if [ "$line" = waiting ]; then
    log "waiting for $what"
    read -r -u "$fd" line || true
  fi
  if [ "$line" != locked ]; then
    # Ctrl-C (or a request to end) ends the holder as it ends this shell, and the holder's end can reach
    # the shell before the signal does (the shell then runs its trap only later): the shell ends as the
    # signal ends it, without a word. Only a holder that ended by itself could not take the lock.
    wait "$holder" 2>/dev/null || status=$?
    case $status in
      130 | 143) ending "$status" ;;
    esac
    log "could not lock $file"
    exit 1
  fi
}

# Gives back a lock that hold_lock took before the shell ends: release_lock FILE.
release_lock() {
  local file=$1 fd
  [ -n "${LOCK_HOLDER[$file]:-}" ] || return 0
  kill -KILL "${LOCK_HOLDER[$file]}" 2>/dev/null || true
  fd=${LOCK_FD[$file]}
  exec {fd}<&-
  unset 'LOCK_HOLDER[$file]' 'LOCK_FD[$file]'
}

# The processes whose environment holds the given NAME=value, by number.
marked() {
  grep -l -z -x -F "$1" /proc/[0-9]*/environ 2>/dev/null | cut -d / -f 3 || true
}

# Waits until no process holds the given NAME=value in its environment, at most the given seconds.
wait_unmarked() {
  local marker=$1 i
  for i in $(seq 1 $(($2 * 10))); do
    [ -n "$(marked "$marker")" ] || return 0
    sleep 0.1
  done
}

# Ends the processes whose environment holds the given NAME=value (a run's folder, a build's), saying so
# with the given words (if any) when there are some: asked first (SIGTERM), then made (SIGKILL); or made at
# once when the third argument is KILL. A process may start another as it ends (a Wine program that crashes
# on its way out starts its debugger, and a Wine program that finds its server gone starts a server of its
# own, which then stays as long as the program): what carries the marker is made to end again until
# nothing does (for 30 s at most: a process that even SIGKILL does not end is left).
end_marked() {
  local marker=$1 what=$2 how=${3:-TERM} pids i
  pids=$(marked "$marker")
  [ -n "$pids" ] || return 0
  if [ -n "$what" ]; then log "$what"; fi
  if [ "$how" = TERM ]; then
    # shellcheck disable=SC2086
    kill -TERM $pids 2>/dev/null || true
    for i in $(seq 1 30); do
      # shellcheck disable=SC2086
      kill -0 $pids 2>/dev/null || break
      sleep 0.1
    done
  fi
  for i in $(seq 1 300); do
    # shellcheck disable=SC2086
    kill -KILL $pids 2>/dev/null || true
    sleep 0.1
    pids=$(marked "$marker")
    [ -n "$pids" ] || return 0
  done
}

# Whether a process has ended: it is gone, or has exited and waits to be reaped.
ended() {
  local stat
  stat=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null) || return 0
  [ -z "$stat" ] || [ "${stat%% *}" = Z ]
}

# Ends a process that this shell started in the background (a display or sound server, a timer): asked
# first (SIGTERM), then made (SIGKILL) when it is still there after 5 s. Its end is watched, not waited for
# with the shell's wait: after an interrupt had ended the shell's wait for the program, a wait for the
# display server, which the interrupt had ended too, was seen never to return (in 2 runs of 7); nor does the
# shell report its end by a signal (disowned).
end_child() {
  local pid=$1 i
  disown "$pid" 2>/dev/null || true
  kill -TERM "$pid" 2>/dev/null || return 0
  for i in $(seq 1 50); do
    ended "$pid" && return 0
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
}

# Builds Qirn in its build folder. Two runs from one clone share the folder: one builds at a time. The
# lock is held for this script alone (see hold_lock), not by the compilers: what a build leaves running when
# its script is killed (ninja, compilers) keeps no later build waiting, and the next build of the folder ends
# it before it starts (everything a build runs carries the folder in QIRN_BUILDING; a build of another
# folder, another clone's, is never touched).
build() {
  export QIRN_DEPS
  QIRN_DEPS=$("$CLONE/scripts/deps.sh")
  mkdir -p "$BUILD"
  hold_lock "$BUILD/.qirn-build.lock" "another build of $BUILD"
  local status=0 i
  end_marked "QIRN_BUILDING=$BUILD" "ending what a killed build of $BUILD left running"
  # An interrupt or a request to end stops the build without a word (ninja, interrupted, would say that it
  # was): cmake and ninja run in a session of their own, which Ctrl-C does not reach, and this shell, which
  # waits for them, ends the build (see stop_build).
  trap stop_build EXIT
  if [ ! -f "$BUILD/build.ninja" ]; then
    QIRN_BUILDING=$BUILD setsid -w cmake -S "$CLONE" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$CLONE/cmake/toolchain-i686-mingw.cmake" -DQIRN_DEPS="$QIRN_DEPS" >/dev/null &
    BUILD_PID=$!
    wait "$BUILD_PID" || status=$?
  fi
  if [ "$status" = 0 ]; then
    # A build with nothing to do says nothing: ninja's lines for the check of the source folders that every
    # build makes first, and for nothing to do, are left out.
    local out filter
    exec {out}> >(exec grep --line-buffered -v -x -E \
      '\[[0-9]+/[0-9]+\] Re-checking globbed directories\.\.\.|ninja: no work to do\.')
    filter=$!
    QIRN_BUILDING=$BUILD setsid -w cmake --build "$BUILD" -j "$(nproc)" >&"$out" &
    BUILD_PID=$!
    exec {out}>&-
    wait "$BUILD_PID" || status=$?
    # What it passes on comes before the lines of whatever runs next.
    for i in $(seq 1 50); do
      kill -0 "$filter" 2>/dev/null || break
      sleep 0.1
    done
  fi
  trap - EXIT
  release_lock "$BUILD/.qirn-build.lock"
  return "$status"
}

# Ends a build that was stopped midway: cmake and ninja at once (their session's process group, as setsid
# made it, run in the background of a shell without job control, in place), then what ninja ran, asked
# first (a compiler removes its temporary files) and made after 3 s. What a build killed midway wrote in
# part, ninja makes again: it has no record of it.
stop_build() {
  if [ -n "$BUILD_PID" ]; then
    disown "$BUILD_PID" 2>/dev/null || true
    kill -KILL -- "-$BUILD_PID" 2>/dev/null || true
  fi
  end_marked "QIRN_BUILDING=$BUILD" ""
}

# The run's folder: it holds everything the run makes outside the clone (logs, its Wine prefix, the sound
# server's folders, the test programs' result files) and goes with the run. Every program of the run
# carries its folder in QIRN_RUN_DIR (not in TMPDIR, which crashes Wine 10's wineserver). The run holds a
# lock on it while its script lives, so a folder whose lock nobody holds was left by a run that was
# killed: the next run ends what that run left running and removes its folder. Runs make and clear
# folders one at a time. The run's Wine log outlives it (see stop_run): start_run_dir KIND names it.
start_run_dir() {
  RUN_KIND=$1
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
  trap stop_run EXIT
  export QIRN_RUN_DIR=$RUN_DIR
}

# Ends every process of a killed run (those whose environment names its folder: its display and sound
# servers, its wine server and test programs) and removes the run's folders. A run whose namespace ended
# with it (see buildroot.sh) left no process, but its display server, ended by SIGKILL, left its socket,
# which would keep its display number from every later server: it goes once nothing answers on it.
clear_dead_run() {
  local dir=$1 display
  end_marked "QIRN_RUN_DIR=$dir" "ending what a killed run left running in $dir"
  display=$(head -n 1 "$dir/display" 2>/dev/null || true)
  if [[ $display =~ ^[0-9]+$ ]] && [ -S "/tmp/.X11-unix/X$display" ] && nobody_listens "/tmp/.X11-unix/X$display"; then
    rm -f "/tmp/.X11-unix/X$display"
  fi
  remove_server_dir "$dir/wine"
  rm -rf "$dir" "$dir.lock"
}

# Whether a connection to a Unix socket is refused: no server listens on it. (No new server can take its
# address while the file is there.) An interrupt ends it at once, without a word.
nobody_listens() {
  python3 -c '
import signal, socket, sys
signal.signal(signal.SIGINT, signal.SIG_DFL)
try:
    socket.socket(socket.AF_UNIX).connect(sys.argv[1])
except ConnectionRefusedError:
    sys.exit(0)
except OSError:
    pass
sys.exit(1)' "$1"
}

# The wine server's socket folder of a prefix of the run's own (named by the prefix's device and inode, in the
# folder that the prefix's "wineserver" file names) stays behind the server.
remove_server_dir() {
  local prefix=$1 base
  [ -d "$prefix" ] || return 0
  base=$(cat "$prefix/wineserver" 2>/dev/null || echo ".wine-$(id -u)")
  rm -rf "/tmp/${base:-.wine-$(id -u)}/server-$(stat -c %D "$prefix")-$(printf %x "$(stat -c %i "$prefix")")"
}

# Stops what the run started, in this order: the programs it ran, its own wine server (and so every Wine
# process of its prefix), its sound server and its display; then removes the run's folder. What Wine's own
# processes printed, the run's log, is kept in the build folder first, as wine-KIND.log (wine-test.log,
# wine-run.log, wine-bench.log).
stop_run() {
  # Stopped whole: an interrupt or a request to end that comes meanwhile (Ctrl-C typed again) is ignored, by
  # this shell and by what it runs to stop the run.
  trap '' INT TERM
  end_run_programs
  stop_wine
  keep_wine_log
  stop_sound
  stop_xvfb
  remove_run_dir
}

# Ends the programs the run ran and what they started (everything that carries the run's folder in
# QIRN_PROGRAM_OF), and the timer of a wait for the program.
end_run_programs() {
  [ -n "$RUN_DIR" ] || return 0
  # An interrupted test run's tests (ctest ends at once, they are interrupted too) end what they started
  # and remove their folders before they end: they are given the time for it. Whatever is left of them
  # then, or a program still running (run.sh interrupted), is ended first, as stop_program ends it.
  if [ -n "$INTERRUPTED" ] && [ "$RUN_KIND" = test ]; then wait_unmarked "QIRN_PROGRAM_OF=$RUN_DIR" 60; fi
  # (The shell would report the end of its program's job by a signal in a line of its own.)
  if [ -n "$PROGRAM_PID" ]; then disown "$PROGRAM_PID" 2>/dev/null || true; fi
  end_marked "QIRN_PROGRAM_OF=$RUN_DIR" "" KILL
  if [ -n "$TIMER_PID" ]; then end_child "$TIMER_PID"; fi
}

# Ends the run's wine server, and with it every Wine process of its prefix, and waits for its end.
stop_wine() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# Keeps the run's Wine log in the build folder as wine-KIND.log, replaced whole.
keep_wine_log() {
  [ -n "$RUN_DIR" ] && [ -f "$RUN_DIR/wine.log" ] || return 0
  # Wine's processes may still be on their way out after their server (their last lines with them).
  local i
  for i in $(seq 1 50); do
    find /proc/[0-9]*/fd -lname "$RUN_DIR/wine.log" 2>/dev/null | grep -q . || break
    sleep 0.1
  done
  cp "$RUN_DIR/wine.log" "$BUILD/wine-$RUN_KIND.log.part" 2>/dev/null &&
    mv -f "$BUILD/wine-$RUN_KIND.log.part" "$BUILD/wine-$RUN_KIND.log" || true
}

# Stops the run's sound server and removes its folder.
stop_sound() {
  if [ -n "$SOUND_PID" ]; then
    end_child "$SOUND_PID"
    SOUND_PID=
  fi
  if [ -n "$SOUND_DIR" ]; then
    rm -rf "$SOUND_DIR"
    SOUND_DIR=
  fi
}

# Stops the run's private Xvfb.
stop_xvfb() {
  [ -n "$XVFB_PID" ] || return 0
  end_child "$XVFB_PID"
  XVFB_PID=
}

# Removes the run's folder (and its lock) once whatever else of the run is still there has ended.
remove_run_dir() {
  [ -n "$RUN_DIR" ] || return 0
  # Whatever else of the run is still there (a Wine process that was starting as its server ended, with a
  # server of its own) goes before the run's folder. What this shell runs from here on is not the run's.
  export -n QIRN_RUN_DIR
  end_marked "QIRN_RUN_DIR=$RUN_DIR" "" KILL
  if [ -z "${QIRN_WINEPREFIX:-}" ]; then remove_server_dir "$RUN_DIR/wine"; fi
  rm -rf "$RUN_DIR" "$RUN_DIR.lock"
  RUN_DIR=
}

# What a run starts is stopped however it ends: an interrupt or a request to end ends the script through its
# exit trap, once (Ctrl-C typed again while it ends changes nothing).
ending() {
  if [ -n "$ENDING" ]; then return 0; fi
  ENDING=1
  trap '' INT TERM
  if [ "$1" = 130 ]; then INTERRUPTED=1; fi
  exit "$1"
}
trap 'ending 130' INT
trap 'ending 143' TERM

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
  # The number stays in the run's folder, for the run that clears it if this one is killed.
  export DISPLAY=":$(head -n 1 "$numfile")"
  log "Xvfb on display $DISPLAY"
}

# A sound server of the run's own: PulseAudio with a null sink, which takes the samples at the rate they play
# (ALSA's null device, without a server, takes them as they come, at no steady rate: a music's position has
# been seen to run 1.7 times the clock). Wine's sound goes to the first driver that answers, PulseAudio before ALSA. Its socket,
# runtime and state folder are the run's own, so runs side by side never meet; it stops with the run.
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
# may be making it at the same time: it is made under a lock, and ready once marked. What Wine prints
# meanwhile (its own processes start and stop with it) goes to the run's log.
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
      wineboot --init >>"$RUN_DIR/wine.log" 2>&1 || { cat "$RUN_DIR/wine.log" >&2; exit 1; }
      wineserver -w >>"$RUN_DIR/wine.log" 2>&1
      wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$RUN_DIR/wine.log" 2>&1
      wineserver -w >>"$RUN_DIR/wine.log" 2>&1
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
# program of the run, with their output in the run's log (wine.log in its folder); the server stays (-p)
# until the end of the run, which ends them all at once. Started by the first program instead, they wrote
# into that program's output, and shut down each time the last program had ended: Wine's driver host
# (winedevice.exe) can crash on that way out, and its "wine: Unhandled page fault" line came after a test
# program's result. Where 32-bit code is translated, services.exe, plugplay.exe, rpcss.exe and
# winedevice.exe often end by a segmentation fault when the server ends them, and the translator prints
# "qemu: uncaught target signal 11" for each: into the run's log.
start_wine() {
  wineserver -p >>"$RUN_DIR/wine.log" 2>&1 || true
  if ! wineboot >>"$RUN_DIR/wine.log" 2>&1; then
    cat "$RUN_DIR/wine.log" >&2
    log "Wine did not start in $WINEPREFIX"
    exit 1
  fi
}

# Starts a run of the given kind (test, run, bench): its folder, its display (a private Xvfb, or the desktop
# display given), its sound server, its Wine prefix and its wine server. The run stops whole when the
# script ends, however it ends (see stop_run).
start_run() {
  local kind=$1 desktop=${2:-}
  if [ -n "$desktop" ]; then export DISPLAY=$desktop; fi
  start_run_dir "$kind"
  if [ -z "$desktop" ]; then start_xvfb; fi
  start_sound
  ensure_prefix
  start_wine
}

run_tests() {
  build
  # ctest keeps its records in the build folder, and tests write beside the programs: two test runs
  # of one clone take turns.
  hold_lock "$BUILD/.qirn-test.lock" "another test run of $BUILD"
  start_run test
  local status=0
  # ctest and everything it runs carry the run's folder in QIRN_PROGRAM_OF, as run.sh's program does: what
  # of them is left when the run stops is ended (see stop_run).
  if ! QIRN_PROGRAM_OF=$RUN_DIR ctest --test-dir "$BUILD" --output-on-failure -j "$(nproc)" "$@" 2>&1 |
    tee "$BUILD/ctest-output.txt"; then
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

# Starts the program (wine and its arguments) in the background, in PROGRAM_PID, from PROGRAM_FOLDER (the
# current folder when unset). Its standard output and standard error go as one stream, in the order it writes
# them, through scripts/program_output.py, which passes its lines on to our standard output as they come and
# keeps what Wine itself says in them (a crash's report, its sound driver's lines) in the run's log, the
# crash's first line also in crash in the run's folder, for program_crash. It and whatever it starts carry
# the run's folder in QIRN_PROGRAM_OF (Wine's own processes, started before it, do not), so that
# stop_program ends them alone. The shell that waits for it in the background says nothing of its end (a
# shell reports a command ended by a signal, as the end of a run ends it, in a line of its own) and ends
# with its exit status, 128 + the signal for a signal.
start_program() {
  local fd
  rm -f "$RUN_DIR/crash"
  exec {fd}> >(exec python3 "$CLONE/scripts/program_output.py" "$RUN_DIR/wine.log" "$RUN_DIR/crash")
  RELAY_PID=$!
  {
    cd "${PROGRAM_FOLDER:-.}" || exit 1
    QIRN_PROGRAM_OF=$RUN_DIR wine "$@" >&"$fd" 2>&1
    exit $?
  } 2>/dev/null &
  PROGRAM_PID=$!
  exec {fd}>&-
}

# Ends the program and everything it started with SIGKILL, and waits until its output is in. Ended
# through its wine server (wineserver -k) instead, a process whose code is translated often crashes on
# its way out: the translator prints "qemu: uncaught target signal 11 (Segmentation fault)" and the
# process ends by that signal, as if it had crashed by itself. A process ended by SIGKILL says nothing.
stop_program() {
  local i
  end_marked "QIRN_PROGRAM_OF=$RUN_DIR" "" KILL
  wait "$PROGRAM_PID" 2>/dev/null || true
  for i in $(seq 1 50); do
    kill -0 "$RELAY_PID" 2>/dev/null || break
    sleep 0.1
  done
}

# Whether the program crashed: says how, in one line, when Wine reported a crash in its output (see
# start_program: an exception that went unhandled, an assertion, anything else that started the debugger,
# or the translator's "qemu: uncaught target signal ..." line for a translated process ended by a signal), or
# its wine command ended by a signal (the exit status given, 128 + the signal).
program_crash() {
  local status=${1:-0} line
  line=$(head -n 1 "$RUN_DIR/crash" 2>/dev/null | tr -d '\r' || true)
  if [ -n "$line" ]; then
    echo "$line"
  elif [ "$status" -gt 128 ]; then
    echo "ended by signal $((status - 128))"
  else
    return 1
  fi
}

# Says in one line that the program crashed, and how, when it did (see program_crash, given the exit status
# when known); false when it did not. Where 32-bit code is translated the line says that the translator
# may be the cause: a translated program can crash as it exits, its work done (a Win32 program of seven
# threads that only sleeps did so after its main had returned in 3 runs of 10).
reported_crash() {
  local how
  how=$(program_crash "${1:-0}") || return 1
  if [ -n "${QIRN_EMULATED:-}" ]; then
    how="$how (32-bit code is translated here: the translator may cause a crash as a program exits)"
  fi
  log "$PROGRAM_NAME crashed: $how"
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
  cd "$CLONE/out"
  start_program "$BUILD/shell/qirn.exe" "$1" "$output" "$description"
  cd "$CLONE"
  local status
  if program_ends_within "${QIRN_RUN_SECONDS:-300}"; then
    status=$PROGRAM_STATUS
    stop_program
    if reported_crash "$status"; then return 1; fi
    return "$status"
  fi
  screenshot
  stop_program
  log "qirn.exe did not end within ${QIRN_RUN_SECONDS:-300} s; what it shows: out/qirn-screen.png"
  return 1
}

# Waits for the program to end, at most the given seconds: true when it ended, its exit status then in
# PROGRAM_STATUS. Its timer is in TIMER_PID meanwhile, for stop_run (an interrupt ends the wait).
program_ends_within() {
  local ended= status=0
  sleep "$1" &
  TIMER_PID=$!
  wait -n -p ended "$PROGRAM_PID" "$TIMER_PID" || status=$?
  kill "$TIMER_PID" 2>/dev/null || true
  wait "$TIMER_PID" 2>/dev/null || true
  TIMER_PID=
  [ "$ended" = "$PROGRAM_PID" ] || return 1
  PROGRAM_STATUS=$status
}

# Runs qirn.exe (by default on the bundled example demo). On a desktop display it runs until its window is
# closed; on the private Xvfb it runs for a few seconds and what it shows is saved as out/qirn-screen.png
# (a pack runs to its end instead, see pack_demo). A qirn.exe that crashes (an unhandled exception, an
# assertion, or its process ended by a signal) fails the run with a line that says so. A packed demo (an
# .exe) given first runs in qirn.exe's place as a user starts it: from its own folder, with the arguments
# after it (none, as a user starts it).
run_program() {
  build
  local args=("$@")
  if [ ${#args[@]} -eq 0 ]; then args=("$CLONE/examples/demo/example.demo.ini"); fi
  local exe="$BUILD/shell/qirn.exe" status=0
  if [[ ${args[0],,} == *.exe ]]; then
    exe=$(realpath "${args[0]}")
    PROGRAM_NAME=${exe##*/}
    PROGRAM_FOLDER=${exe%/*}
    args=("${args[@]:1}")
  fi
  # A screenshot of an earlier run is never taken for this run's.
  rm -f "$CLONE/out/qirn-screen.png"
  if [ -n "${QIRN_DISPLAY:-}" ] && [ -S "/tmp/.X11-unix/X${QIRN_DISPLAY#:}" ]; then
    start_run run "$QIRN_DISPLAY"
    start_program "$exe" "${args[@]}"
    wait "$PROGRAM_PID" || status=$?
    stop_program
    if reported_crash "$status"; then return 1; fi
    return "$status"
  fi
  start_run run
  mkdir -p "$CLONE/out"
  if [ ${#args[@]} -eq 3 ] && { [ "${args[0]}" = -demoexe ] || [ "${args[0]}" = -demodat ]; }; then
    pack_demo "${args[@]}"
    return
  fi
  start_program "$exe" "${args[@]}"
  # Translated 32-bit code (see buildroot.sh run32) starts far more slowly.
  local wait=8
  if [ -n "${QIRN_EMULATED:-}" ]; then wait=30; fi
  if program_ends_within "${QIRN_RUN_SECONDS:-$wait}"; then
    status=$PROGRAM_STATUS
    stop_program
    reported_crash "$status" || log "$PROGRAM_NAME ended before the screenshot"
    return 1
  fi
  screenshot
  log "what $PROGRAM_NAME shows: out/qirn-screen.png"
  stop_program
  if reported_crash; then return 1; fi
}

# Runs the benchmark programs on the private Xvfb, one after the other; each prints its figures on
# standard output and what they were measured from on standard error.
run_bench() {
  build
  start_run bench
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
