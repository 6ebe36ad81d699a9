#!/usr/bin/env bash
# Builds the model-reader fuzz target with clang (AddressSanitizer, UndefinedBehaviorSanitizer,
# libFuzzer) and runs it on the corpus for SECONDS seconds (default 180). New inputs go to
# fuzz/corpus-run/ (not kept in the repository); crashes are written to the build folder.
#   fuzz/run_readmodel.sh [SECONDS] [extra libFuzzer options]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-180}
shift || true
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVELDARIN_FUZZ=ON -DVELDARIN_TESTS=OFF -DVELDARIN_BENCH=OFF -DVELDARIN_FLTK=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target fuzz_readmodel
mkdir -p fuzz/corpus-run
cd "$build"
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 \
  ./fuzz/fuzz_readmodel -max_total_time="$seconds" -timeout=10 -max_len=65536 \
  -dict=../fuzz/readmodel.dict "$@" ../fuzz/corpus-run ../fuzz/corpus/readmodel
