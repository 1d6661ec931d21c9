#!/usr/bin/env bash
# Builds Qirn and runs it under Wine inside the build root (created first when missing). Without a
# desktop it draws on a private Xvfb; QIRN_DISPLAY=:0 hands a desktop display over instead.
# On the Xvfb what it shows after a few seconds is saved as out/qirn-screen.png; a pack (-demoexe,
# -demodat) runs to its end instead. A packed demo (an .exe given first) runs in qirn.exe's place.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
clone=$(cd "$here/.." && pwd)
# The file qirn.exe is given (the first argument that is neither an option nor an option's value, as qirn.exe
# picks it), a pack's description, or a packed demo (an .exe given first, which runs in qirn.exe's place) is
# refused before anything is built or started when it is not there. A relative path is taken from the
# clone's folder.
file=()
if [ $# -ge 1 ] && [[ ${1,,} == *.exe ]]; then
  file=("$1")
elif [ $# = 3 ] && { [ "$1" = -demoexe ] || [ "$1" = -demodat ]; }; then
  file=("$3")
else
  for ((i = 1; i <= $#; i++)); do
    case ${!i} in
      -framestart | -rideopts | -ridespeed | -display | -windowed | -windowpos | -stereo | -vsync) i=$((i + 1)) ;;
      -*) ;;
      *) file=("${!i}") && break ;;
    esac
  done
fi
if [ ${#file[@]} = 1 ]; then
  path=${file[0]}
  if [[ $path != /* ]]; then path=$clone/$path; fi
  if [ ! -f "$path" ]; then
    if [ -z "${file[0]}" ]; then
      echo "run: a file's name is empty" >&2
      exit 2
    fi
    if [ -d "$path" ]; then why="is a folder, not a file"; else why="does not exist"; fi
    if [[ ${file[0]} != /* ]]; then why="$why (a relative path is taken from the clone's folder, $clone)"; fi
    echo "run: ${file[0]} $why" >&2
    exit 2
  fi
fi
"$here/buildroot.sh" ensure
# The root sees the clone alone. A file given outside it (a full path, or a path taken from the clone's
# folder that leads out of it) is reached through its folder, mounted in the root at its own path as the
# clone is: a demo needs its whole folder (its scenes, music and shaders, named from its .demo.ini), and a
# pack writes its output into the output's folder. A folder that cannot be mounted there is refused before
# anything starts.
mounts=()
for ((i = 1; i <= $#; i++)); do
  arg=${!i}
  case $arg in -* | '') continue ;; esac
  path=$arg
  if [[ $path != /* ]]; then path=$clone/$path; fi
  if [ "$i" = 2 ] && [ $# = 3 ] && { [ "$1" = -demoexe ] || [ "$1" = -demodat ]; }; then
    :  # the pack's output, which is yet to be written
  elif [ ! -f "$path" ]; then
    continue
  fi
  folder=$(cd "$(dirname "$path")" 2>/dev/null && pwd) || continue
  case $folder/ in "$clone"/*) continue ;; esac
  if ! why=$("$here/buildroot.sh" mountable "$folder"); then
    echo "run: $arg lies outside the clone, and its folder cannot be mounted in the build root: $why" >&2
    exit 2
  fi
  mounts+=(--mount "$folder")
done
# Built where packages and sources can be fetched; run where 32-bit programs can run. The build ends
# with this script however it ends (a kill -9 too), as the run does, which takes this script's place.
setpriv --pdeathsig KILL -- "$here/buildroot.sh" run scripts/inroot.sh build
exec "$here/buildroot.sh" run32 "${mounts[@]}" scripts/inroot.sh run "$@"
