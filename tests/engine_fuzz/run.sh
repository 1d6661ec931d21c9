#!/usr/bin/env bash
# Fuzzes the engine's .x, LightWave object and DDS readers and the effect library's shader-header and
# COLLADA FX readers on the host with libFuzzer, AddressSanitizer and UBSan. Each fuzzer compiles only its
# reader and what it needs from the patched engine tree of a build made by scripts/test.sh (the rest of
# the engine is stood in for, see make_fakes.py). Seeds are small files of every form each reader takes
# (seeds.cpp).
# Usage: tests/engine_fuzz/run.sh [runs per fuzzer, default 1000000] [fuzzer names...]
#   fuzzers: x lwo dds shader_header collada (default all), two at a time; QIRN_FUZZ_SECONDS bounds each
#   fuzzer's time, as it bounds the scene fuzzer's. Inputs that fail are written to
#   build/engine_fuzz/<name>-crash-* (or -timeout-, -oom-).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
out="$root/build/engine_fuzz"
runs=${1:-1000000}
shift || true
fuzzers=("$@")
[ ${#fuzzers[@]} -gt 0 ] || fuzzers=(x lwo dds shader_header collada)
tree="$root/build/render_ext/engine"
[ -f "$tree/include/irrlicht.h" ] || { echo "no engine tree in $tree: run scripts/test.sh first" >&2; exit 1; }
engine="$tree/source/Irrlicht"
mkdir -p "$out/obj"
flags=(-std=gnu++14 -g -O1 -w -fno-strict-aliasing -fsanitize=fuzzer-no-link,address,undefined
       -fno-sanitize-recover=undefined -fno-sanitize=vptr,function,alignment -D_IRR_STATIC_LIB_
       -DNO_IRR_COMPILE_WITH_X11_ -I"$tree/include" -I"$engine" -I"$root/effects" -I"$root/effects/defs"
       -I"$root/shell" -I"$out" -I"$here")

python3 "$here/make_fakes.py" "$tree/include" "$out/fuzz_fakes.h.new"
cmp -s "$out/fuzz_fakes.h.new" "$out/fuzz_fakes.h" 2>/dev/null || mv "$out/fuzz_fakes.h.new" "$out/fuzz_fakes.h"

# object: compiles a source into obj/ unless its object is newer than every file of the engine tree, the
# effect library and the stand-ins (a changed header rebuilds them all)
object() {
  local src=$1 obj
  obj="$out/obj/$(basename "$src").o"
  if [ ! -f "$obj" ] || [ -n "$(find "$tree" "$root/effects" "$here" "$out/fuzz_fakes.h" -newer "$obj" -type f -print -quit)" ]; then
    clang++ "${flags[@]}" "${@:2}" -c "$src" -o "$obj"
  fi
  echo "$obj"
}
declare -A sources=(
  [x]="$engine/CXMeshFileLoader.cpp $engine/CSkinnedMesh.cpp $engine/CBoneSceneNode.cpp $engine/CMeshManipulator.cpp"
  [lwo]="$engine/CLWOMeshFileLoader.cpp $engine/CMeshManipulator.cpp"
  [dds]="$engine/CImageLoaderDDS.cpp $engine/CDXTDecoder.cpp $engine/CImage.cpp $engine/CColorConverter.cpp"
  [shader_header]="$root/effects/defs/CQeEffectDef.cpp $root/effects/defs/CQeEffectDefQirn.cpp"
  [collada]="$root/effects/defs/CQeEffectDef.cpp $root/effects/defs/CQeEffectDefCollada.cpp"
)
declare -A harness=([x]="mesh_fuzzer.cpp -DQE_FUZZ_X" [lwo]="mesh_fuzzer.cpp -DQE_FUZZ_LWO" [dds]="dds_fuzzer.cpp"
                    [shader_header]="effect_def_fuzzer.cpp -DQE_FUZZ_SHADER_HEADER"
                    [collada]="effect_def_fuzzer.cpp -DQE_FUZZ_COLLADA")
for name in "${fuzzers[@]}"; do
  objs=()
  for src in ${sources[$name]} "$engine/CMemoryFile.cpp" "$engine/CXMLReader.cpp" "$engine/os.cpp"; do objs+=("$(object "$src")"); done
  set -- ${harness[$name]}
  clang++ "${flags[@]}" "${@:2}" -c "$here/$1" -o "$out/obj/harness-$name.o"
  clang++ -fsanitize=fuzzer,address,undefined "$out/obj/harness-$name.o" "${objs[@]}" -o "$out/fuzz-$name"
done

# Seeds: every form each reader takes (a fuzzer's own findings stay in its corpus folder).
mkdir -p "$out/corpus"/{x,lwo,dds,shader_header,collada}
clang++ -std=c++17 -I"$root/tests/support" "$here/seeds.cpp" -o "$out/seeds"
"$out/seeds" "$out/corpus/x" "$out/corpus/lwo" "$out/corpus/dds" "$out/corpus/shader_header" "$out/corpus/collada"

# Two fuzzers at a time, each in the background, the next starting when either ends; their last lines in
# build/engine_fuzz/<name>.log.
# A fuzzer that finds a failing input ends with a non-zero status; the others go on, and the run says so.
# An input is a hang only past 60 s: on a busy machine the sanitizer's own memory release once took 10.
running=0
for name in "${fuzzers[@]}"; do
  ( set +e; cd "$out" || exit 1
    ./fuzz-$name -runs="$runs" ${QIRN_FUZZ_SECONDS:+-max_total_time=$QIRN_FUZZ_SECONDS} \
      -max_len=16384 -timeout=60 -rss_limit_mb=2048 \
      -artifact_prefix="$out/$name-" corpus/$name > "$out/$name.log" 2>&1
    echo "exit $?" >> "$out/$name.log" ) &
  running=$((running + 1))
  if [ $running -ge 2 ]; then wait -n || true; running=$((running - 1)); fi
done
wait || true
status=0
for name in "${fuzzers[@]}"; do
  echo "== $name"
  grep -E "^#[0-9]+.*(DONE|pulse)|Done [0-9]+ runs|ERROR|SUMMARY|exit" "$out/$name.log" | tail -3 || true
  grep -qx "exit 0" "$out/$name.log" || status=1
done
exit $status
