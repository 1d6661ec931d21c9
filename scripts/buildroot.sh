#!/usr/bin/env bash
# The build root: a Debian 13 system made once with debootstrap in a cache folder outside the clone,
# where the Windows cross compiler, Wine and Xvfb live. Commands run inside it through private mount and
# PID namespaces (unshare --mount --pid --fork + chroot), so nothing stays mounted on the host afterwards,
# and nothing the command started outlives it: the command ends with this script, however it ends (a
# kill -9 too), and everything it started ends with the command.
#
#   scripts/buildroot.sh ensure          create the root if it is missing, or add the packages it lacks (idempotent)
#   scripts/buildroot.sh run [--mount DIR].. CMD [ARG..]
#                                        run CMD inside the root, the clone (and each DIR) mounted at its own path
#   scripts/buildroot.sh run32 [--mount DIR].. CMD [ARG..]
#                                        the same, where 32-bit x86 programs can run (see run_in_root_32)
#   scripts/buildroot.sh mountable DIR.. say why a folder cannot be mounted so (status 1), or nothing
#   scripts/buildroot.sh path            print the root folder
#
# Environment: QIRN_CACHE (default /var/cache/qirn) holds the root; QIRN_MIRROR overrides the Debian
# mirror, which by default is the one the host's apt is configured with; QIRN_TRANSLATE=1 makes run32
# translate 32-bit code even where the host runs it itself.
set -euo pipefail

QIRN_CACHE=${QIRN_CACHE:-/var/cache/qirn}
ROOT_VERSION=2
ROOT="$QIRN_CACHE/root-trixie-v$ROOT_VERSION"
READY="$ROOT/.qirn-root-ready"
CLONE=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

PACKAGES=(
  g++-mingw-w64-i686-posix cmake ninja-build python3 xvfb xauth
  wine wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386
  dpkg-dev ca-certificates patch quilt xz-utils bzip2 file x11-apps
  gstreamer1.0-plugins-base:i386 gstreamer1.0-plugins-good:i386 qemu-user
)
# Packages that came after the roots above were made: installed into an existing root when missing, and
# into a new one with the rest. Their stamp is named after the list, so a root that has them is not
# touched again, and one made with the list above alone is never made anew. PulseAudio is the sound
# output that takes the music in real time (a null sink), see inroot.sh; lame encodes the example demo's
# music (examples/demo/make_example.py --music).
ADDED_PACKAGES=(pulseaudio lame)
# What follows an install of them (the stamp is named after it too).
ADDED_SETUP='
  # PulseAudio hooks a 64-bit ALSA plugin into every ALSA client; a 32-bit client (Wine) cannot load it and
  # then opens no ALSA device at all. The hook is moved aside: ALSA stays on its null device.
  dpkg-divert --local --rename --divert /etc/alsa/99-pulse.conf.qirn-off --add /etc/alsa/conf.d/99-pulse.conf
'
ADDED_STAMP="$ROOT/.qirn-added-$(echo "${ADDED_PACKAGES[*]} $ADDED_SETUP" | sha1sum | cut -c1-16)"
# Runs that share the cache install into its root one at a time.
LOCK="$QIRN_CACHE/.qirn-root.lock"
# Folders of the host mounted in the root at their own paths besides the clone (run --mount DIR).
MOUNTS=()

log() { echo "buildroot: $*" >&2; }

need_root() {
  if [ "$(id -u)" != 0 ]; then
    log "must run as root (debootstrap, unshare and chroot need it)"
    exit 1
  fi
}

# The first plain Debian archive URI the host's apt knows (deb822 .sources files or one-line lists).
host_mirror() {
  local f uri
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    uri=$(awk '/^URIs:/ { for (i = 2; i <= NF; i++) print $i }' "$f" | grep -E '/debian/?$' | head -n 1 || true)
    if [ -n "$uri" ]; then echo "${uri%/}"; return; fi
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    uri=$(awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /^(https?|ftp|file):/) { print $i; break } }' "$f" |
          grep -E '/debian/?$' | head -n 1 || true)
    if [ -n "$uri" ]; then echo "${uri%/}"; return; fi
  done
}

ensure_tools() {
  local missing=()
  command -v debootstrap >/dev/null || missing+=(debootstrap)
  command -v unshare >/dev/null && command -v setpriv >/dev/null || missing+=(util-linux)
  if [ ${#missing[@]} -gt 0 ]; then
    log "installing on the host: ${missing[*]}"
    apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" >/dev/null
  fi
}

# The caller's QIRN_* settings that go along into the root (the rest of the environment stays outside), as
# NAME=value words in the caller's array `pass`, each whole: a value may hold blanks or any other character.
passed_settings() {
  pass=()
  local name
  for name in $(compgen -e); do
    case "$name" in
      QIRN_CACHE | QIRN_MIRROR | QIRN_IN_ROOT | QIRN_CLONE) ;;
      QIRN_*) if [[ $name =~ ^QIRN_[A-Z0-9_]+$ ]]; then pass+=("$name=${!name}"); fi ;;
    esac
  done
}

# Whether a folder of the host can be mounted in the root at its own path, as the clone is; says why not (on
# standard output, status 1) otherwise. The mount would hide what the root has there: the folders that the
# root's commands share with the host or with each other (/, /proc, /dev, /sys, /run, /tmp itself and its
# X socket folder) are refused, and so is a folder where the root has files of its own (/usr, /etc, /root,
# /tmp/qirn-runs...) or a link. Where the root has nothing, or only folders (the clones' mount points), the
# mount point is made.
mountable() {
  local dir=$1 at=$ROOT part parts
  case $dir in
    / | /proc | /proc/* | /dev | /dev/* | /sys | /sys/* | /run | /run/* | /tmp | /tmp/.X11-unix | /tmp/.X11-unix/*)
      echo "$dir is a folder of the build root's own"
      return 1
      ;;
  esac
  if [[ $dir != /* || $dir/ == */./* || $dir/ == */../* || $dir/ == *//* ]] || [ ! -d "$dir" ]; then
    echo "$dir is not the full path of a folder"
    return 1
  fi
  IFS=/ read -r -a parts <<<"${dir#/}"
  for part in "${parts[@]}"; do
    [ -n "$part" ] || continue
    at=$at/$part
    if [ -L "$at" ]; then
      echo "the build root has a link at ${at#"$ROOT"}"
      return 1
    fi
    [ -e "$at" ] || return 0
    if [ ! -d "$at" ]; then
      echo "the build root has a file at ${at#"$ROOT"}"
      return 1
    fi
  done
  if [ -n "$(find "$at" -mindepth 1 ! -type d -print -quit 2>/dev/null)" ]; then
    echo "the build root has files of its own in $dir"
    return 1
  fi
}

# How a command is started in the root. unshare runs it in new namespaces as the first process of a PID
# namespace of its own, so that everything the command starts (a display server, a wine server, compilers)
# ends with it: the kernel ends the whole namespace when its first process ends. That process ends with
# unshare (--kill-child), and unshare with this script (setpriv --pdeathsig): a kill -9 of this script, or
# of the command that started it, ends the run it started, and no later run waits for an orphan. unshare
# itself shrugs off SIGTERM and SIGINT; this script does not.
in_namespaces() {
  setpriv --pdeathsig KILL -- unshare --kill-child --fork --pid --mount --propagation private "$@"
}

# Runs a command in the root inside private mount and PID namespaces; every mount vanishes with it.
run_in_root() {
  enter_root native "$@"
}

# i386 ELF programs (magic and mask of the ELF header: 32-bit, little-endian, x86, executable or shared).
I386_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
I386_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

# Like run_in_root, for running what was built: Wine and our programs are 32-bit x86 code, and some hosts run
# 64-bit user code only. Where the kernel refuses a 32-bit program, a private instance of binfmt_misc (in a
# user namespace of our own, so the host's is untouched) hands 32-bit programs to the root's qemu-i386.
# QIRN_TRANSLATE=1 takes this way on any host.
run_in_root_32() {
  if [ -z "${QIRN_TRANSLATE:-}" ] && host_runs_32; then
    enter_root native "$@"
  else
    enter_root translated "$@"
  fi
}

# Runs a command in the root, its 32-bit x86 code run natively or translated: enter_root native|translated
# CMD [ARG..]. The root is mounted on itself first, so that its "/" is a mount point: a command in the root
# can make namespaces of its own. Translated, the namespaces include a user namespace, where a binfmt_misc
# of their own hands 32-bit programs to the root's qemu-i386, and the command is told so (QIRN_EMULATED=1).
enter_root() {
  local how=$1 x11=/tmp/.X11-unix pass namespaces=() binfmt=
  shift
  passed_settings
  mkdir -p "$ROOT$CLONE" "$ROOT$x11" "$x11" "${MOUNTS[@]/#/$ROOT}"
  if [ "$how" = translated ]; then
    namespaces=(--user --map-root-user)
    binfmt=":qirn-i386:M::$I386_MAGIC:$I386_MASK:$ROOT/usr/bin/qemu-i386:F"
    mkdir -p "$ROOT/run/qirn-binfmt"
  fi
  chmod 1777 "$x11" "$ROOT$x11" 2>/dev/null || true
  in_namespaces "${namespaces[@]}" -- /bin/bash -c '
    set -e
    root=$1; clone=$2; x11=$3; binfmt=$4; count=$5; folders=$6; shift 6
    pass=("${@:1:count}"); shift "$count"
    mounts=("${@:1:folders}"); shift "$folders"
    mount --bind "$root" "$root"
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount --bind "$x11" "$root$x11"
    for folder in "${mounts[@]}"; do mount --bind "$folder" "$root$folder"; done
    mount --bind "$clone" "$root$clone"
    mount --bind /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
    emulated=()
    if [ -n "$binfmt" ]; then
      mount -t binfmt_misc binfmt_misc "$root/run/qirn-binfmt"
      printf %s "$binfmt" >"$root/run/qirn-binfmt/register"
      emulated=(QIRN_EMULATED=1)
    fi
    cd "$root$clone"
    exec chroot "$root" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      CI="${CI:-}" QIRN_IN_ROOT=1 "${emulated[@]}" QIRN_CLONE="$clone" "${pass[@]}" \
      /bin/bash -c "cd \"\$QIRN_CLONE\" && exec \"\$@\"" bash "$@"
  ' bash "$ROOT" "$CLONE" "$x11" "$binfmt" "${#pass[@]}" "${#MOUNTS[@]}" "${pass[@]}" "${MOUNTS[@]}" "$@"
}

# Whether the kernel runs 32-bit x86 programs itself (the root's own 32-bit loader answers).
host_runs_32() {
  [ -x "$ROOT/lib/ld-linux.so.2" ] && chroot "$ROOT" /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

create_root() {
  need_root
  ensure_tools
  local mirror=${QIRN_MIRROR:-$(host_mirror)}
  if [ -z "$mirror" ]; then
    log "no Debian mirror found in the host's apt sources; set QIRN_MIRROR"
    exit 1
  fi
  mkdir -p "$QIRN_CACHE"
  if [ ! -x "$ROOT/usr/bin/apt-get" ] || [ ! -f "$ROOT/.qirn-debootstrap-done" ]; then
    rm -rf "$ROOT"
    log "debootstrap trixie into $ROOT"
    debootstrap --variant=minbase --arch=amd64 trixie "$ROOT" "$mirror" >"$QIRN_CACHE/debootstrap.log" 2>&1 || {
      tail -n 30 "$QIRN_CACHE/debootstrap.log" >&2
      exit 1
    }
    touch "$ROOT/.qirn-debootstrap-done"
  fi
  # apt sources of the root only: binaries and sources (for apt-get source) of trixie.
  cat >"$ROOT/etc/apt/sources.list.d/debian.sources" <<EOF
Types: deb deb-src
URIs: $mirror
Suites: trixie trixie-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  rm -f "$ROOT/etc/apt/sources.list"
  log "installing the root's packages"
  run_in_root /bin/bash -c "
    set -e
    export DEBIAN_FRONTEND=noninteractive
    dpkg --add-architecture i386
    apt-get update -q
    apt-get install -y -q --no-install-recommends ${PACKAGES[*]} ${ADDED_PACKAGES[*]}
    apt-get clean
    $ADDED_SETUP
  " >"$QIRN_CACHE/root-packages.log" 2>&1 || {
    tail -n 40 "$QIRN_CACHE/root-packages.log" >&2
    exit 1
  }
  # ALSA, which Wine falls back to without a sound server: with no sound card, the default device is a
  # null sink (it takes the samples as they come, at no steady rate: music played into it does not keep time).
  printf 'pcm.!default {\n  type null\n}\nctl.!default {\n  type null\n}\n' >"$ROOT/etc/asound.conf"
  echo "${PACKAGES[*]}" >"$READY"
  touch "$ADDED_STAMP"
  log "root ready"
}

# Installs the added packages into a root made before them. The package lists the root already has are
# tried first, so that packages which other runs use at the same time are not upgraded under them.
add_packages() {
  log "installing into the root: ${ADDED_PACKAGES[*]}"
  run_in_root /bin/bash -c "
    export DEBIAN_FRONTEND=noninteractive
    get() { apt-get install -y -q --no-install-recommends ${ADDED_PACKAGES[*]}; }
    get || { apt-get update -q && get; } || exit 1
    apt-get clean
    set -e
    $ADDED_SETUP
  " >"$QIRN_CACHE/root-added.log" 2>&1 || {
    tail -n 40 "$QIRN_CACHE/root-added.log" >&2
    exit 1
  }
  touch "$ADDED_STAMP"
}

# Ready when made with the package list of this script and given the added packages.
root_ready() { [ -f "$READY" ] && [ "$(cat "$READY")" = "${PACKAGES[*]}" ] && [ -f "$ADDED_STAMP" ]; }

# Makes the root or completes it, under the cache's lock (another run may be doing it at the same time:
# once it has the lock, this one finds the work done).
ensure_root() {
  if root_ready; then return; fi
  need_root
  mkdir -p "$QIRN_CACHE"
  (
    flock 9
    if [ -f "$READY" ] && [ "$(cat "$READY")" = "${PACKAGES[*]}" ]; then
      [ -f "$ADDED_STAMP" ] || add_packages
    else
      create_root
    fi
  ) 9>"$LOCK"
}

cmd=${1:-}
shift || true
case "$cmd" in
  ensure)
    ensure_root
    ;;
  run | run32)
    need_root
    ensure_root
    while [ "${1:-}" = --mount ]; do
      if ! why=$(mountable "${2:-}"); then
        log "cannot mount ${2:-} in the root: $why"
        exit 2
      fi
      MOUNTS+=("$2")
      shift 2
    done
    if [ "$cmd" = run ]; then run_in_root "$@"; else run_in_root_32 "$@"; fi
    ;;
  mountable)
    for dir in "$@"; do mountable "$dir" || exit 1; done
    ;;
  path)
    echo "$ROOT"
    ;;
  *)
    echo "usage: $0 ensure | run [--mount DIR]... CMD [ARG...] | run32 [--mount DIR]... CMD [ARG...] | mountable DIR... | path" >&2
    exit 2
    ;;
esac
