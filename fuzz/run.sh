#!/usr/bin/env bash
# Builds one libFuzzer target with clang (AddressSanitizer, UndefinedBehaviorSanitizer) and runs
# it on its corpus for SECONDS seconds (default 180):
#   fuzz/run.sh readmodel|settings_script [SECONDS] [extra libFuzzer options]
# New inputs go to fuzz/corpus-run/TARGET/ (not kept in the repository); a crash is written to
# the build folder and ends the run with a non-zero exit.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: fuzz/run.sh readmodel|settings_script [SECONDS] [options]}
seconds=${2:-180}
shift $(( $# < 2 ? $# : 2 ))
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELDARIN_FUZZ=ON -DVELDARIN_TESTS=OFF -DVELDARIN_BENCH=OFF -DVELDARIN_FLTK=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "fuzz_$target"
dict=()
[ -f "fuzz/$target.dict" ] && dict=(-dict="../fuzz/$target.dict")
mkdir -p "fuzz/corpus-run/$target"
cd "$build"
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 \
  "./fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -max_len=65536 \
  "${dict[@]}" "$@" "../fuzz/corpus-run/$target" "../fuzz/corpus/$target"
