#!/usr/bin/env bash
# Fuzzes the scene reader on the host with libFuzzer, AddressSanitizer and UBSan (needs clang++ and the
# engine headers of a configured build, scripts/test.sh makes them). Seeds are the sample scene written by
# the test writer in both length widths. Usage: tests/scene_fuzz/run.sh [runs, default 1000000] [extra
# libFuzzer options]; QIRN_FUZZ_SECONDS bounds its time, as it bounds each engine fuzzer's. Inputs that fail
# are written to build/scene_fuzz/crash-* (or timeout-, oom-).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
out="$root/build/scene_fuzz"
runs=${1:-1000000}
shift || true
engine="$root/build/render_ext/engine/include"
[ -d "$engine" ] || { echo "no engine headers in $engine: run scripts/test.sh first" >&2; exit 1; }
mkdir -p "$out/corpus"
flags=(-std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -I"$root/scene" -I"$root/shell" -I"$root/tests/scene_writer" -isystem "$engine")
sources=("$root"/scene/scene_reader.cpp "$root"/scene/scene_image.cpp "$root"/scene/scene_channels.cpp
         "$root"/scene/scene_access.cpp "$root"/tests/scene_writer/scene_exercise.cpp)
clang++ "${flags[@]}" "${sources[@]}" "$root/tests/scene_fuzz/scene_fuzzer.cpp" -o "$out/scene_fuzzer"
# Seeds: the sample scene in both length widths.
cat > "$out/seeds.cpp" <<'CPP'
#include <string>
#include "scene_samples.h"
#include "scene_writer.h"
int main(int, char** argv) {
    std::string dir = argv[1];
    qeSceneWriteFile(dir + "/sample32.qirn", qeSceneWriteDescription(qeSceneSampleDescription()));
    qeSceneWriteFile(dir + "/sample16.qirn", qeSceneWriteDescription(std::string("width 16\n") + qeSceneSampleDescription()));
}
CPP
clang++ -std=c++17 -I"$root/tests/scene_writer" "$out/seeds.cpp" "$root"/tests/scene_writer/scene_writer.cpp \
    "$root"/tests/scene_writer/scene_samples.cpp -o "$out/seeds"
"$out/seeds" "$out/corpus"
"$out/scene_fuzzer" -runs="$runs" ${QIRN_FUZZ_SECONDS:+-max_total_time=$QIRN_FUZZ_SECONDS} -max_len=16384 \
    -artifact_prefix="$out/" "$@" "$out/corpus" 2>&1 | grep -v '^Error: \|^Not a\|^DumpQirn\|^dumpqirn' | tail -15
